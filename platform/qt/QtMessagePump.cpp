#include "platform/qt/QtMessagePump.h"

#include "platform/Window.h"

#include <QCoreApplication>
#include <QSocketNotifier>

namespace platform {

QtMessagePump::QtMessagePump()
{
    int descriptor = messageQueueDescriptor();
    if (descriptor < 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    // The descriptor stays readable until the queue is empty, so a pass that
    // a nested loop interrupts is simply continued by the next readiness.
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { pump(); });
}

QtMessagePump::~QtMessagePump() = default;

void QtMessagePump::pump()
{
    if (std::optional<int> exitCode = pumpMessages())
        QCoreApplication::exit(*exitCode);
}

} // namespace platform
