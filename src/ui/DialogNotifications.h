#pragma once

#include "threading/Callback.h"
#include "ui/ConfigMessages.h"

#include <mutex>

namespace ui {

class ConfigActivityDialog;
class ConfigDialog;

/// Where the server's, the indexer's and the activity report's threads reach
/// the preferences dialog: its callbacks only post a message (with copies of
/// what they were given) to the dialog or its Activity page, whose controls
/// are then changed on the dialog's own thread.
///
/// A delegate may still call an observer that was removed a moment before
/// (it calls a snapshot of its list), so the callbacks must outlive every
/// dialog: they live here, once per process, and post to whichever dialog is
/// attached, or to nothing once it has detached. One dialog at a time.
/// Any thread.
class DialogNotifications {
public:
    static DialogNotifications& instance();

    /// From now on the callbacks post to `dialog`; `detach` with the same
    /// dialog (before it is destroyed) ends that.
    void attach(ConfigDialog* dialog);
    void detach(ConfigDialog* dialog);
    void attachActivity(ConfigActivityDialog* page);
    void detachActivity(ConfigActivityDialog* page);

    /// Posts CM_REFRESH (indexer finished).
    threading::Callback<DialogNotifications> onRefresh{this, &DialogNotifications::refresh};
    /// Posts CM_INDEX_STATUS with the path of the `LibraryEntry` it is given.
    threading::Callback<DialogNotifications> onIndexStatus{this, &DialogNotifications::indexStatus};
    /// Posts CM_REFRESH (server started or finished).
    threading::Callback<DialogNotifications> onServerState{this, &DialogNotifications::refresh};
    /// Posts a copy of the `http::ActivityList` it is given to the Activity page.
    threading::Callback<DialogNotifications> onActivity{this, &DialogNotifications::activity};

private:
    DialogNotifications() = default;

    std::intptr_t refresh(threading::CallbackArgument);
    std::intptr_t indexStatus(threading::CallbackArgument entry);
    std::intptr_t activity(threading::CallbackArgument list);
    /// Posts under `lock`, so nothing reaches a target after its detach.
    void post(PostedMessage message);

    std::mutex lock;
    ConfigDialog* dialog = nullptr;                // under lock
    ConfigActivityDialog* activityPage = nullptr;  // under lock
};

} // namespace ui
