// tunelet-player: the host player. Loads every Plugins/gen_*.so beside the
// program, plays through mpv, answers the plug-ins' requests on its window
// thread and shuts down cleanly on SIGINT or SIGTERM.
//
//   tunelet-player [--audio=null]
// --audio=null (or TUNELET_AUDIO=null in the environment) plays on mpv's
// null output: no sound, real time. Without a sound device (no ALSA playback
// device, no sound server) that output is chosen anyway.
#include "platform/ModulePath.h"
#include "player/MpvPlayback.h"
#include "player/Player.h"
#include "player/SignalWatcher.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

int main(int argc, char** argv)
{
    // Before any thread exists, so that every thread leaves the signals to
    // the watcher.
    player::SignalWatcher::blockTerminationSignals();

    const char* fromEnvironment = std::getenv("TUNELET_AUDIO");
    bool nullAudio = fromEnvironment && std::strcmp(fromEnvironment, "null") == 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--audio=null") == 0) {
            nullAudio = true;
        } else {
            std::cerr << "usage: tunelet-player [--audio=null]\n";
            return 2;
        }
    }

    std::string program = platform::executablePath();
    if (program.empty()) {
        std::cerr << "tunelet-player: cannot find the program's own path\n";
        return 1;
    }
    std::filesystem::path plugins = std::filesystem::path(program).parent_path() / "Plugins";

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
    host.plugins().loadDirectory(plugins.string());
    return host.run();
}
