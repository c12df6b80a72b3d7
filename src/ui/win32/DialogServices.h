#pragma once

#include "settings/SettingsData.h"
#include "webapp/SettingsForm.h"

#include <windows.h>

#include <string>

namespace ui::win32 {

/// The preferences dialog's private window messages. "Sent" ones are
/// handled at once, "posted" ones in posting order on the dialog's thread.
enum ConfigMessage : UINT {
    CM_REFRESH = 0x8000,
    CM_START = 0x8001,
    CM_STOP = 0x8002,
    CM_SAVE = 0x8003,
    CM_REINDEX = 0x8004,
    CM_ACTIVITY_ATTACH = 0x8005,
    CM_ACTIVITY_DETACH = 0x8006,
    CM_CLOSE = 0x8007,
    CM_INDEX_STATUS = 0x8008,  // lParam: a std::string* the receiver deletes
    CM_APPLY = 0x8009,
};
/// Not one of the dialog's messages: the Activity page's news that the
/// server published its connections (lParam: an http::ActivityList* the
/// page deletes).
inline constexpr UINT activityPublished = 0x8100;

/// What the dialog does to the world outside its window: the settings, the
/// server and the indexer. The plug-in's form works on the real ones
/// (ServerDialogServices); a test stands in for them. Dialog thread, except
/// that the notifications it arranges come from any thread and only post.
class DialogServices {
public:
    virtual ~DialogServices() = default;

    virtual host::SettingsData settings() const = 0;
    /// Takes `form` into the settings and saves them (webapp::saveForm).
    virtual webapp::FormMessages saveForm(const webapp::SettingsForm& form) = 0;

    virtual bool serverRunning() const = 0;
    /// Hands the server the saved settings and starts it.
    virtual void startServer() = 0;
    virtual void stopServer() = 0;
    /// Hands the server the saved settings; a running one listens anew.
    virtual void applyToServer() = 0;

    virtual bool indexing() const = 0;
    /// The Library page's status text while no rebuild runs.
    virtual std::string indexStatus() const = 0;
    /// Starts a rebuild over the saved directories unless one runs.
    virtual void reindex() = 0;

    /// From now on the server's and the indexer's news post CM_REFRESH and
    /// CM_INDEX_STATUS to `dialog` (null: to nothing).
    virtual void notify(HWND dialog) = 0;
    /// From now on the server's published activity posts activityPublished
    /// to `page` (null: to nothing), and once at once.
    virtual void notifyActivity(HWND page) = 0;
};

} // namespace ui::win32
