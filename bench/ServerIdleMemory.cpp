// bench_server_idle_memory [connections]: resident memory of the listener with
// many idle keep-alive connections (each has been served one request), read
// from /proc/self/status before and after. The clients live in this process
// too, but sockets are kernel memory, not resident pages.
#include "EchoServer.h"

#include "http/support/RawClient.h"
#include "platform/Socket.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testing_support::RawClient;

namespace {

long statusField(const std::string& name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name + ":", 0) == 0)
            return std::atol(line.c_str() + name.size() + 1);
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);

    bench::OkServer server(platform::loopbackAddress(), 0);
    // Every client is on 127.0.0.1: it may hold as many as all.
    server.maxConnectionsPerPeer = server.maxOpenConnections.load();
    server.start();
    while (server.listeningPort() == 0)
        std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    const long rssBefore = statusField("VmRSS");
    const long threadsBefore = statusField("Threads");

    std::vector<std::unique_ptr<RawClient>> clients;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; ++i) {
        auto client = std::make_unique<RawClient>(server.listeningPort());
        if (!client->send("GET / HTTP/1.1\r\nHost: bench\r\n\r\n") || client->readAnswer().status != 200) {
            std::fprintf(stderr, "connection %d failed\n", i);
            return 1;
        }
        clients.push_back(std::move(client));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::this_thread::sleep_for(500ms);
    const long rssAfter = statusField("VmRSS");
    const long threadsAfter = statusField("Threads");

    std::printf("idle connections      %d (opened and served in %.2f s)\n", count, seconds);
    std::printf("live connections      %zu\n", server.connectionCount());
    std::printf("threads               %ld -> %ld\n", threadsBefore, threadsAfter);
    std::printf("VmRSS before          %ld kB\n", rssBefore);
    std::printf("VmRSS after           %ld kB\n", rssAfter);
    std::printf("per connection        %.1f kB\n", double(rssAfter - rssBefore) / count);

    clients.clear();
    server.stop();
    server.threadHandle()->waitFor(30s);
    return 0;
}
