#pragma once

#include "http/Server.h"

#include <csignal>
#include <cstdio>
#include <thread>

namespace bench {

/// Blocks SIGINT and SIGTERM; call before any thread starts, so that only
/// `serveUntilSignal`'s wait sees them.
inline sigset_t blockStopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

/// Starts `server`, prints "port N" once it listens (what the benchmark
/// scripts wait for), then serves until one of `signals` arrives, stops and
/// waits for the connections, 10 s at most: load tools close theirs when they
/// finish, and one that did not must not hang the end. 0, or 1 when the
/// server could not listen.
inline int serveUntilSignal(http::Server& server, const sigset_t& signals)
{
    using namespace std::chrono_literals;
    // The load tools come from one address: it may hold as many as all.
    server.maxConnectionsPerPeer = server.maxOpenConnections.load();
    if (!server.start())
        return 1;
    for (int i = 0; i < 500 && server.listeningPort() == 0 && !server.threadHandle()->isFinished(); ++i)
        std::this_thread::sleep_for(10ms);
    int result = 0;
    if (server.listeningPort() == 0) {
        std::fprintf(stderr, "cannot listen on port %u\n", static_cast<unsigned>(server.endpoint().port));
        result = 1;
    } else {
        std::printf("port %u\n", server.listeningPort());
        std::fflush(stdout);
        int received = 0;
        sigwait(&signals, &received);
    }
    server.stop();
    server.threadHandle()->waitFor(10s);
    return result;
}

} // namespace bench
