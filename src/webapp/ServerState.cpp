#include "webapp/ServerState.h"

#include "settings/Ipv4Address.h"
#include "http/Server.h"

#include <cerrno>
#include <cstring>

namespace webapp {

ServerState serverStateOf(const http::Server& server)
{
    return {.running = server.threadId() != 0,
            .address = server.endpoint().address,
            .port = server.endpoint().port,
            .boundPort = server.listeningPort(),
            .listenFailure = server.listenFailure()};
}

std::string listenFailureText(int error)
{
    switch (error) {
    case EADDRINUSE:
        return "address in use";
    case EADDRNOTAVAIL:
        return "address not available on this machine";
    case EACCES:
        return "permission denied";
    default:
        return std::strerror(error);
    }
}

std::string serverStateText(const ServerState& state)
{
    const std::string where = host::formatIPv4(state.address) + ":";
    if (state.running && state.boundPort != 0)
        return "running on " + where + std::to_string(state.boundPort);
    if (state.running)
        return "starting on " + where + std::to_string(state.port);
    if (state.listenFailure != 0)
        return "cannot listen on " + where + std::to_string(state.port) + ": " + listenFailureText(state.listenFailure);
    return "stopped";
}

} // namespace webapp
