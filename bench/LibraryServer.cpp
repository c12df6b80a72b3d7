// bench_library_server PORT DIR...: the web application sharing DIR... on
// 127.0.0.1:PORT (0: any) until SIGINT or SIGTERM, for load tools; no player
// behind it. Prints the port once it listens.
#include "host/Settings.h"
#include "platform/Socket.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using namespace std::chrono_literals;

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_library_server PORT DIR...\n");
        return 2;
    }
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

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
        if (!server.start())
            return 1;
        for (int i = 0; i < 500 && server.listeningPort() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        if (server.listeningPort() == 0) {
            std::fprintf(stderr, "cannot listen on port %s\n", argv[1]);
            result = 1;
        } else {
            std::printf("port %u\n", server.listeningPort());
            std::fflush(stdout);
            int received = 0;
            sigwait(&signals, &received);
        }
        server.stop();
        server.threadHandle()->waitFor(10s);
    }
    std::filesystem::remove_all(home);
    return result;
}
