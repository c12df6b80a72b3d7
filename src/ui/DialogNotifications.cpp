#include "ui/DialogNotifications.h"

#include "library/LibraryEntry.h"
#include "ui/ConfigMessages.h"

#include <QCoreApplication>

namespace ui {

QEvent::Type DialogEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

DialogNotifications& DialogNotifications::instance()
{
    static DialogNotifications notifications;
    return notifications;
}

void DialogNotifications::attach(QObject* target)
{
    std::lock_guard held(lock);
    dialog = target;
}

void DialogNotifications::detach(QObject* target)
{
    std::lock_guard held(lock);
    if (dialog == target)
        dialog = nullptr;
}

void DialogNotifications::attachActivity(QObject* page)
{
    std::lock_guard held(lock);
    activityPage = page;
}

void DialogNotifications::detachActivity(QObject* page)
{
    std::lock_guard held(lock);
    if (activityPage == page)
        activityPage = nullptr;
}

std::intptr_t DialogNotifications::refresh(threading::CallbackArgument)
{
    post(dialog, std::make_unique<DialogEvent>(CM_REFRESH));
    return 0;
}

std::intptr_t DialogNotifications::indexStatus(threading::CallbackArgument entry)
{
    const auto* indexed = reinterpret_cast<const library::LibraryEntry*>(entry);
    post(dialog, std::make_unique<DialogEvent>(CM_INDEX_STATUS, indexed ? indexed->path : std::string()));
    return 0;
}

std::intptr_t DialogNotifications::activity(threading::CallbackArgument list)
{
    const auto* published = reinterpret_cast<const http::ActivityList*>(list);
    post(activityPage,
         std::make_unique<DialogEvent>(activityPublished, std::string(), published ? *published : http::ActivityList()));
    return 0;
}

void DialogNotifications::post(QObject* const& target, std::unique_ptr<DialogEvent> event)
{
    std::lock_guard held(lock);
    // The application takes the event over.
    if (target)
        QCoreApplication::postEvent(target, event.release());
}

} // namespace ui
