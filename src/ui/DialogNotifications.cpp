#include "ui/DialogNotifications.h"

#include "library/LibraryEntry.h"
#include "ui/ConfigActivityDialog.h"
#include "ui/ConfigDialog.h"

#include <QCoreApplication>

#include <memory>

namespace ui {

namespace {

QEvent::Type postBoxEventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

void PostBox::post(QObject* receiver, PostedMessage message)
{
    std::unique_ptr<QEvent> wake;
    {
        std::lock_guard held(lock);
        queue.push_back(std::move(message));
        wake = std::make_unique<QEvent>(postBoxEventType());
    }
    // The application takes the event over.
    QCoreApplication::postEvent(receiver, wake.release());
}

std::optional<PostedMessage> PostBox::take(const QEvent* event)
{
    std::lock_guard held(lock);
    if (event->type() != postBoxEventType() || queue.empty())
        return std::nullopt;
    PostedMessage oldest = std::move(queue.front());
    queue.pop_front();
    return oldest;
}

DialogNotifications& DialogNotifications::instance()
{
    static DialogNotifications notifications;
    return notifications;
}

void DialogNotifications::attach(ConfigDialog* target)
{
    std::lock_guard held(lock);
    dialog = target;
}

void DialogNotifications::detach(ConfigDialog* target)
{
    std::lock_guard held(lock);
    if (dialog == target)
        dialog = nullptr;
}

void DialogNotifications::attachActivity(ConfigActivityDialog* page)
{
    std::lock_guard held(lock);
    activityPage = page;
}

void DialogNotifications::detachActivity(ConfigActivityDialog* page)
{
    std::lock_guard held(lock);
    if (activityPage == page)
        activityPage = nullptr;
}

std::intptr_t DialogNotifications::refresh(threading::CallbackArgument)
{
    post({CM_REFRESH});
    return 0;
}

std::intptr_t DialogNotifications::indexStatus(threading::CallbackArgument entry)
{
    const auto* indexed = reinterpret_cast<const library::LibraryEntry*>(entry);
    post({CM_INDEX_STATUS, indexed ? indexed->path : std::string()});
    return 0;
}

std::intptr_t DialogNotifications::activity(threading::CallbackArgument list)
{
    const auto* published = reinterpret_cast<const http::ActivityList*>(list);
    post({activityPublished, std::string(), published ? *published : http::ActivityList()});
    return 0;
}

void DialogNotifications::post(PostedMessage message)
{
    std::lock_guard held(lock);
    if (message.message == activityPublished) {
        if (activityPage)
            activityPage->post(std::move(message));
    } else if (dialog) {
        dialog->post(message.message, std::move(message.text));
    }
}

} // namespace ui
