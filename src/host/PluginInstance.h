#pragma once

#include "platform/PluginRecord.h"
#include "platform/WindowTypes.h"

#include <memory>
#include <string>

namespace webapp {
class TuneletServer;
class WebApplication;
} // namespace webapp

namespace host {

class Settings;

/// The plug-in inside its host player: the record the module's export hands
/// out, the three operations the host calls on it (init, config, quit), and
/// the subclass of the host's main window that puts "Tunelet Preferences..."
/// into the host's menus 0 and 3.
///
/// There is one instance per process (`instance()`), made on first use.
/// Every operation runs on the host's user-interface thread, the thread that
/// owns the main window. Between init and quit the instance owns the
/// settings, the web application and the server; other parts borrow them.
class PluginInstance {
public:
    static constexpr const char* description = "Tunelet Remote Control Plugin";
    /// Identifier of the menu item, and of the WM_COMMAND it sends.
    static constexpr platform::UINT preferencesCommand = 20817;
    static constexpr const char* preferencesText = "Tunelet Preferences...";
    static constexpr const char* reindexCaption = "Search Index Incomplete";
    static constexpr const char* reindexQuestion =
        "Tunelet was shutdown while indexing of the Media Library was still in progress.\r\n"
        "Searching will not return complete results until indexing is fully complete. \r\n"
        "Would you like to reindex now?";

    /// The process-wide instance.
    static PluginInstance& instance();

    /// The record the host reads; it fills in `hwndParent` and
    /// `hDllInstance` before it calls init.
    platform::PluginRecord* pluginRecord() { return &record; }

    /// Starts up with the settings file beside this module, or in the folder
    /// the host names in TUNELET_PLUGIN_HOME. Always 0.
    int init();
    /// The start-up sequence for a module whose files live as if it were at
    /// `modulePath` (see filesPathFor): settings loaded
    /// from "<module without extension>.ini", the document root filled in
    /// and created, the web application and the server made, the server
    /// started when `autoStart` is set and its address and port can be
    /// listened on (one line on standard error when they are no address and
    /// port), the index built when it was never begun (one line says so) or
    /// the question about an unfinished index asked, and the main window
    /// subclassed. Does nothing while already running. Always 0.
    int initFrom(const std::string& modulePath);
    /// Runs the preferences dialog modally (over the application's active
    /// window) when the process has a widget application, and returns when
    /// it closes; a headless host gets the "Dialog failed!" box instead.
    void config();
    /// Stops the server and waits for its thread, serving messages sent to
    /// the main window meanwhile (a connection may be waiting for the
    /// player's answer), then destroys the server, the web application and
    /// the settings (unsaved) and puts the window's procedure back.
    void quit();

    /// Null outside init..quit.
    Settings* getSettings() const { return settings.get(); }
    webapp::WebApplication* getWebApplication() const { return webApplication.get(); }
    webapp::TuneletServer* getServer() const { return server.get(); }

private:
    PluginInstance();

    static int initEntry();
    static void configEntry();
    static void quitEntry();
    static platform::LRESULT PLATFORM_CALLBACK windowProc(platform::HWND hwnd, platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam);

    void askToReindex();
    /// Takes the item out of, or puts it into, whichever of the host's menus
    /// 0 and 3 `opened` is.
    void removeMenuItem(platform::HWND mainWindow, platform::HMENU opened);
    void insertMenuItem(platform::HWND mainWindow, platform::HMENU opened);

    std::unique_ptr<webapp::WebApplication> webApplication;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<webapp::TuneletServer> server;
    platform::PluginRecord record;
    platform::WindowProc previousWindowProc = nullptr;
    bool subclassed = false;
};

} // namespace host
