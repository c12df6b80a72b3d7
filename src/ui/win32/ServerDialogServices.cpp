#include "ui/win32/ServerDialogServices.h"

#include "library/Indexer.h"
#include "library/LibraryEntry.h"
#include "library/MediaLibrary.h"
#include "settings/Settings.h"
#include "webapp/SettingsApply.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <memory>

namespace ui::win32 {

namespace {

/// Where the server's, the indexer's and the activity report's threads
/// reach the dialog. A delegate may still call an observer removed a moment
/// before, so the callbacks live once per process and post to whichever
/// windows are named, or to nothing. Any thread.
class Notifications {
public:
    static Notifications& instance()
    {
        static Notifications notifications;
        return notifications;
    }

    void target(HWND dialog)
    {
        const std::lock_guard guard(lock);
        this->dialog = dialog;
    }
    void targetActivity(HWND page)
    {
        const std::lock_guard guard(lock);
        activityPage = page;
    }

    threading::Callback<Notifications> onRefresh{this, &Notifications::refresh};
    threading::Callback<Notifications> onIndexStatus{this, &Notifications::indexStatus};
    threading::Callback<Notifications> onServerState{this, &Notifications::refresh};
    threading::Callback<Notifications> onActivity{this, &Notifications::activity};

private:
    std::intptr_t refresh(threading::CallbackArgument)
    {
        const std::lock_guard guard(lock);
        if (dialog)
            PostMessageW(dialog, CM_REFRESH, 0, 0);
        return 0;
    }
    std::intptr_t indexStatus(threading::CallbackArgument entry)
    {
        const auto* indexed = reinterpret_cast<const library::LibraryEntry*>(entry);
        postCopy(dialog, CM_INDEX_STATUS, std::make_unique<std::string>(indexed ? indexed->path : std::string()));
        return 0;
    }
    std::intptr_t activity(threading::CallbackArgument list)
    {
        const auto* published = reinterpret_cast<const http::ActivityList*>(list);
        postCopy(activityPage, activityPublished,
                 std::make_unique<http::ActivityList>(published ? *published : http::ActivityList()));
        return 0;
    }
    /// The receiver takes `copy` over once the message is queued.
    template <class T>
    void postCopy(HWND& window, UINT message, std::unique_ptr<T> copy)
    {
        const std::lock_guard guard(lock);
        if (window && PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(copy.get())))
            copy.release();
    }

    std::mutex lock;
    HWND dialog = nullptr;        // under lock
    HWND activityPage = nullptr;  // under lock
};

} // namespace

ServerDialogServices::ServerDialogServices(host::Settings& settings, webapp::TuneletServer& server,
                                           webapp::WebApplication& webApplication)
    : settings_(settings), server(server), webApplication(webApplication)
{
    Notifications& notifications = Notifications::instance();
    server.onStarted.add(&notifications.onServerState);
    server.onFinished.add(&notifications.onServerState);
    server.onListening.add(&notifications.onServerState);
    library::Indexer& indexer = webApplication.library->indexer();
    indexer.onFinished.add(&notifications.onRefresh);
    indexer.onProgress.add(&notifications.onIndexStatus);
    webApplication.settingsChanged.add(&notifications.onRefresh);
}

ServerDialogServices::~ServerDialogServices()
{
    Notifications& notifications = Notifications::instance();
    library::Indexer& indexer = webApplication.library->indexer();
    indexer.onFinished.remove(&notifications.onRefresh);
    indexer.onProgress.remove(&notifications.onIndexStatus);
    webApplication.settingsChanged.remove(&notifications.onRefresh);
    server.onStarted.remove(&notifications.onServerState);
    server.onFinished.remove(&notifications.onServerState);
    server.onListening.remove(&notifications.onServerState);
    server.activity.remove(&notifications.onActivity);
    notifications.targetActivity(nullptr);
    notifications.target(nullptr);
}

host::SettingsData ServerDialogServices::settings() const
{
    return settings_.snapshot();
}

webapp::FormMessages ServerDialogServices::saveForm(const webapp::SettingsForm& form)
{
    return webapp::saveForm(settings_, form);
}

bool ServerDialogServices::serverRunning() const
{
    return server.threadId() != 0;
}

void ServerDialogServices::startServer()
{
    server.restart(webapp::handServerSettings(server, settings_.snapshot()));
}

void ServerDialogServices::stopServer()
{
    server.stop();
}

void ServerDialogServices::applyToServer()
{
    webapp::applyToServer(server, settings_, webapp::RestartWhen::running);
}

bool ServerDialogServices::indexing() const
{
    return webApplication.library->isIndexing();
}

std::string ServerDialogServices::indexStatus() const
{
    return webapp::indexStatus(webApplication);
}

void ServerDialogServices::reindex()
{
    webapp::startReindex(webApplication);
}

void ServerDialogServices::notify(HWND dialog)
{
    Notifications::instance().target(dialog);
}

void ServerDialogServices::notifyActivity(HWND page)
{
    Notifications& notifications = Notifications::instance();
    notifications.targetActivity(page);
    if (page) {
        server.activity.add(&notifications.onActivity);
        server.publishActivity();
    } else {
        server.activity.remove(&notifications.onActivity);
    }
}

} // namespace ui::win32
