#pragma once

#include "http/Server.h"
#include "platform/Socket.h"
#include "support/WaitUntil.h"

#include <cstdint>
#include <memory>
#include <utility>

namespace testing_support {

/// A listener on 127.0.0.1 (any free port unless one is given) whose
/// connections are `ConnectionType`s made from the socket and the server.
template <class ConnectionType>
class LoopbackServer : public http::Server {
public:
    explicit LoopbackServer(std::uint16_t port = 0) : Server(platform::loopbackAddress(), port) {}

    bool acceptConnection(platform::UniqueFd socket) override
    {
        return startConnection(std::make_unique<ConnectionType>(std::move(socket), *this));
    }

    /// Starts it and waits until it listens; the port, 0 when it did not.
    std::uint16_t startListening()
    {
        if (!start() || !waitUntil([this] { return listeningPort() != 0; }))
            return 0;
        return listeningPort();
    }
};

} // namespace testing_support
