// bench_server_echo [port]: serves "ok" on 127.0.0.1 until SIGINT or SIGTERM,
// for load tools. Prints the port once it listens.
#include "EchoServer.h"
#include "ServeUntilSignal.h"

#include "platform/Socket.h"

#include <cstdlib>

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    const sigset_t signals = bench::blockStopSignals();
    bench::OkServer server(platform::loopbackAddress(), static_cast<std::uint16_t>(port));
    const int result = bench::serveUntilSignal(server, signals);
    // A connection still open after the wait must not hold up the exit.
    std::_Exit(result);
}
