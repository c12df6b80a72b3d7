// tunelet-player: the host player. Loads every Plugins/gen_*.so beside the
// program, plays through mpv, answers the plug-ins' requests on its window
// thread and shuts down cleanly on SIGINT or SIGTERM.
//
//   tunelet-player [--audio=null] [--configure] [--headless] [--home DIR]
// --audio=null (or TUNELET_AUDIO=null in the environment) plays on mpv's
// null output: no sound, real time. Without a sound device (no ALSA playback
// device, no sound server) that output is chosen anyway.
// --configure opens each plug-in's preferences once the player runs, as the
// menu item does.
// --headless runs without a window even where a display is present (a
// service).
// --home DIR keeps the player's state and the plug-ins' files in DIR (made
// when missing) instead of beside the program: DIR/tunelet-player.m3u, and
// DIR/Plugins in place of the modules' folder (the player names it to its
// plug-ins in TUNELET_PLUGIN_HOME). DIR is laid out as the program's folder
// is, so `--home <the program's folder>` changes nothing.
//
// With a display (DISPLAY or WAYLAND_DISPLAY set, or QT_QPA_PLATFORM given)
// the player shows its window, and its window thread is Qt's. Without one it
// runs headless on the platform's own message loop; only --configure then
// starts Qt, on the offscreen platform, for the plug-ins' dialogs.
//
// The playlist and the rest of the player's state are kept in
// tunelet-player.m3u (beside the program, or in the home folder): restored
// at start (before the plug-ins load, so they find the list as if a user had
// loaded it), saved a few seconds after each change and at quit.
#include "platform/MessageBox.h"
#include "platform/ModulePath.h"
#include "platform/qt/QtMessagePump.h"
#include "player/MpvPlayback.h"
#include "player/Player.h"
#include "player/QtMessageBox.h"
#include "player/QtPlayerWindow.h"
#include "player/SignalWatcher.h"
#include "player/StateKeeper.h"
#include "settings/PluginPaths.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>

namespace {

bool hasEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

bool displayPresent()
{
    return hasEnvironment("DISPLAY") || hasEnvironment("WAYLAND_DISPLAY") || hasEnvironment("QT_QPA_PLATFORM");
}

/// The player on Qt's loop: the plug-ins are loaded (and configured) once the
/// loop runs, so that a quit request reached in any of their dialogs ends
/// the loop for good.
int runWithQt(player::Player& host, const std::string& plugins, bool window, bool configure, char* program)
{
    int argc = 1;
    char* argv[] = {program, nullptr};
    QApplication app(argc, argv);
    // The player quits on WM_CLOSE, not when its last window goes.
    app.setQuitOnLastWindowClosed(false);
    platform::QtMessagePump pump;
    if (!pump.isWatching()) {
        std::cerr << "tunelet-player: cannot watch the window thread's messages\n";
        return 1;
    }
    std::optional<player::QtPlayerWindow> shown;
    platform::MessageBoxHook previous;
    if (window) {
        shown.emplace(host);
        shown->show();
        previous = platform::setMessageBoxHook(player::qtMessageBoxHook());
    }
    QTimer::singleShot(0, [&] {
        host.plugins().loadDirectory(plugins);
        if (configure)
            for (std::size_t i = 0; i < host.plugins().count(); ++i)
                host.plugins().configure(i);
    });
    int status = app.exec();
    host.shutdown();
    if (window)
        platform::setMessageBoxHook(std::move(previous));
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread exists, so that every thread leaves the signals to
    // the watcher.
    player::SignalWatcher::blockTerminationSignals();

    const char* fromEnvironment = std::getenv("TUNELET_AUDIO");
    bool nullAudio = fromEnvironment && std::strcmp(fromEnvironment, "null") == 0;
    bool configure = false;
    bool headless = false;
    std::filesystem::path home;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--audio=null") == 0) {
            nullAudio = true;
        } else if (std::strcmp(argv[i], "--configure") == 0) {
            configure = true;
        } else if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--home") == 0 && i + 1 < argc && *argv[i + 1]) {
            home = argv[++i];
        } else {
            std::cerr << "usage: tunelet-player [--audio=null] [--configure] [--headless] [--home DIR]\n";
            return 2;
        }
    }

    std::string program = platform::executablePath();
    if (program.empty()) {
        std::cerr << "tunelet-player: cannot find the program's own path\n";
        return 1;
    }
    std::filesystem::path plugins = std::filesystem::path(program).parent_path() / "Plugins";
    // The plug-ins' files follow the home folder; without one they stay
    // beside the modules, whatever the environment says. Set while no other
    // thread runs (the environment has no lock).
    if (home.empty()) {
        home = std::filesystem::path(program).parent_path();
        ::unsetenv(host::pluginHomeVariable);
    } else {
        std::error_code failed;
        home = std::filesystem::absolute(home, failed);
        if (!failed)
            std::filesystem::create_directories(home / "Plugins", failed);
        if (failed) {
            std::cerr << "tunelet-player: cannot make the home folder " << home.string() << "/Plugins: "
                      << failed.message() << "\n";
            return 1;
        }
        ::setenv(host::pluginHomeVariable, (home / "Plugins").c_str(), 1);
    }

    if (!nullAudio && !player::MpvPlayback::soundOutputPresent()) {
        std::cerr << "tunelet-player: no sound device found; playing silently on the null output\n";
        nullAudio = true;
    }
    auto audio = std::make_unique<player::MpvPlayback>(nullAudio);
    if (!audio->isValid())
        std::cerr << "tunelet-player: " << audio->startError() << "; nothing will play\n";
    player::Player host(player::Player::defaultClock(), std::random_device{}(), std::cerr, player::readTrackTags,
                        std::move(audio));
    player::SignalWatcher watcher(host.mainWindow());
    if (!watcher.isWatching())
        std::cerr << "tunelet-player: cannot watch for termination signals\n";

    std::filesystem::path saved = home / "tunelet-player.m3u";
    player::StateKeeper state(host.model(), saved.string(), std::cerr);
    state.restore();
    host.window().onStateCheck = [&state] { state.check(); };
    state.startClock(host.mainWindow());

    bool window = !headless && displayPresent();
    int status = 0;
    if (!window && !configure) {
        host.plugins().loadDirectory(plugins.string());
        status = host.run();
    } else {
        if (!window)
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        status = runWithQt(host, plugins.string(), window, configure, argv[0]);
    }
    state.save();
    return status;
}
