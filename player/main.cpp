// tunelet-player: the host player. Loads every Plugins/gen_*.so beside the
// program, answers the plug-ins' requests on its window thread and shuts
// down cleanly on SIGINT or SIGTERM.
#include "platform/ModulePath.h"
#include "player/Player.h"
#include "player/SignalWatcher.h"

#include <filesystem>
#include <iostream>

int main()
{
    // Before any thread exists, so that every thread leaves the signals to
    // the watcher.
    player::SignalWatcher::blockTerminationSignals();

    std::string program = platform::executablePath();
    if (program.empty()) {
        std::cerr << "tunelet-player: cannot find the program's own path\n";
        return 1;
    }
    std::filesystem::path plugins = std::filesystem::path(program).parent_path() / "Plugins";

    player::Player host;
    player::SignalWatcher watcher(host.mainWindow());
    if (!watcher.isWatching())
        std::cerr << "tunelet-player: cannot watch for termination signals\n";
    host.plugins().loadDirectory(plugins.string());
    return host.run();
}
