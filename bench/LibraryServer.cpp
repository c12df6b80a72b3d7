// bench_library_server PORT DIR...: the web application sharing DIR... on
// 127.0.0.1:PORT (0: any) until SIGINT or SIGTERM, for load tools; no player
// behind it. Prints the port once it listens.
#include "ServeUntilSignal.h"

#include "settings/Settings.h"
#include "platform/Socket.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_library_server PORT DIR...\n");
        return 2;
    }
    const sigset_t signals = bench::blockStopSignals();

    std::string home = (std::filesystem::temp_directory_path() / "tunelet-bench-XXXXXX").string();
    if (::mkdtemp(home.data()) == nullptr)
        return 1;
    host::Settings settings(home + "/gen_Tunelet.ini");
    settings.update([&](auto& d) {
        d.sharedDirs.assign(argv + 2, argv + argc);
        d.documentRoot = home + "/skins";
    });
    int result = 0;
    {
        webapp::WebApplication application(nullptr, nullptr, settings);
        webapp::TuneletServer server(application, settings, platform::loopbackAddress(),
                                     static_cast<std::uint16_t>(std::atoi(argv[1])));
        result = bench::serveUntilSignal(server, signals);
    }
    std::filesystem::remove_all(home);
    return result;
}
