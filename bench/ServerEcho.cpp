// bench_server_echo [port]: serves "ok" on 127.0.0.1 until SIGINT or SIGTERM,
// for load tools. Prints the port once it listens.
#include "EchoServer.h"

#include "platform/Socket.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    // Blocked before any thread starts, so only sigwait below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    bench::OkServer server(platform::loopbackAddress(), static_cast<std::uint16_t>(port));
    if (!server.start())
        return 1;
    for (int i = 0; i < 500 && server.listeningPort() == 0; ++i) {
        if (server.threadHandle()->isFinished())
            break;
        std::this_thread::sleep_for(10ms);
    }
    if (server.listeningPort() == 0) {
        std::fprintf(stderr, "cannot listen on port %d\n", port);
        return 1;
    }
    std::printf("port %u\n", server.listeningPort());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    // Load tools close their connections when they finish; do not hang on one
    // that did not.
    server.threadHandle()->waitFor(10s);
    std::_Exit(0);
}
