// tunelet-player on Windows: loads every Plugins\gen_*.dll beside the
// program, plays on the simulated clock (the audio is the real player's
// business on Windows; a peer's track is read once for its length), answers
// the plug-ins' requests on its window thread and shuts down cleanly on
// WM_CLOSE or a console's Ctrl+C, Ctrl+Break or closing.
//
//   tunelet-player [--audio=null] [--configure] [--headless] [--home DIR]
// --audio=null is accepted (nothing plays aloud here anyway).
// --configure opens each plug-in's preferences once the player runs.
// --headless: message boxes go to standard error and answer their default
// button instead of waiting for a user.
// --home DIR keeps the player's state and the plug-ins' files in DIR, as on
// Linux (DIR\tunelet-player.m3u, DIR\Plugins).
#include "platform/MessageBox.h"
#include "platform/ModulePath.h"
#include "player/PeerTrackPlayback.h"
#include "player/Player.h"
#include "player/SignalWatcher.h"
#include "player/StateKeeper.h"
#include "settings/PluginPaths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace {

int headlessMessageBox(platform::HWND, const std::string& text, const std::string& caption, platform::UINT type)
{
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    return platform::defaultMessageBoxAnswer(type);
}

} // namespace

int main(int argc, char** argv)
{
    bool configure = false;
    bool headless = false;
    std::filesystem::path home;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--audio=null") == 0) {
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
    if (home.empty()) {
        home = std::filesystem::path(program).parent_path();
        _putenv_s(host::pluginHomeVariable, "");  // an empty value removes it
    } else {
        std::error_code failed;
        home = std::filesystem::absolute(home, failed);
        if (!failed)
            std::filesystem::create_directories(home / "Plugins", failed);
        if (failed) {
            std::cerr << "tunelet-player: cannot make the home folder " << home.string() << "\\Plugins: "
                      << failed.message() << "\n";
            return 1;
        }
        _putenv_s(host::pluginHomeVariable, (home / "Plugins").string().c_str());
    }
    if (headless)
        platform::setMessageBoxHook(headlessMessageBox);

    // The simulated clock, which learns a peer's track's length from its bytes.
    const player::Clock& clock = player::Player::defaultClock();
    player::Player host(clock, std::random_device{}(), std::cerr, player::readTrackTags,
                        std::make_unique<player::PeerTrackPlayback>(clock, player::readUrlTrackTags));
    player::SignalWatcher watcher(host.mainWindow());
    if (!watcher.isWatching())
        std::cerr << "tunelet-player: cannot watch for the console's termination requests\n";

    std::filesystem::path saved = home / "tunelet-player.m3u";
    player::StateKeeper state(host.model(), saved.string(), std::cerr);
    state.restore();
    host.window().onStateCheck = [&state] { state.check(); };
    state.startClock(host.mainWindow());

    host.plugins().loadDirectory(plugins.string());
    if (configure)
        for (std::size_t i = 0; i < host.plugins().count(); ++i)
            host.plugins().configure(i);
    const int status = host.run();
    state.save();
    return status;
}
