#pragma once

#include <cstdint>
#include <string>

namespace http {
class Server;
}

namespace webapp {

/// What the server is doing, as read from it at one moment.
struct ServerState {
    bool running = false;         // its thread is inside `run`
    std::uint32_t address = 0;    // the address it listens or is to listen on, network order
    std::uint16_t port = 0;       // the port it is to listen on
    std::uint16_t boundPort = 0;  // the port it listens on; 0 while not listening
    int listenFailure = 0;        // errno of the last failed listen; 0 when none
};

/// Reads `server`'s state. Any thread.
ServerState serverStateOf(const http::Server& server);

/// Why a socket could not listen, in a few words: "address in use",
/// "address not available on this machine", "permission denied", otherwise
/// the system's text for `error`.
std::string listenFailureText(int error);

/// The state as the preferences dialog shows it and the log reports it:
/// "running on 0.0.0.0:5151", "starting on 0.0.0.0:5151", "stopped" or
/// "cannot listen on 0.0.0.0:5151: address in use".
std::string serverStateText(const ServerState& state);

} // namespace webapp
