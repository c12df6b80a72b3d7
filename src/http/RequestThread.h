#pragma once

#include "http/Request.h"
#include "http/SocketStream.h"
#include "platform/UniqueFd.h"
#include "threading/Thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace http {

class Response;
class Server;
class StateStore;

/// One connection: its own thread reads requests one after another, ties each
/// to a session and passes it to `handle`. Made on the listener thread and
/// handed to the server's `startConnection`, which owns it from then on and
/// destroys it when its thread ends.
class RequestThread : public threading::Thread {
public:
    /// Takes the connected socket; `server` must outlive the connection.
    RequestThread(platform::UniqueFd socket, Server& server);
    /// Closes the socket.
    ~RequestThread() override;

    /// Ends the connection after the answer being written, if any: a pending
    /// or later wait for a request returns at once and nothing more is read
    /// or answered. Any thread.
    bool stop() override;
    /// As `stop`, and an answer being written fails at once too.
    void closeNow();
    /// The request cycle: until the peer closes, a receive fails or times out,
    /// an error is answered, an answer cannot be sent, or the client asked for
    /// "Connection: close".
    int run() override;

    /// (clientAddress, lastRequest), read under the connection's lock.
    std::pair<std::string, std::string> activityEntry() const;
    /// Since when the connection has waited for its next request; none while
    /// a request is being received or answered. Any thread.
    std::optional<std::chrono::steady_clock::time_point> idleSince() const { return stream.idleSince(); }

protected:
    /// Produces and sends the answer to `request` (status 0) through
    /// `response`, which carries the socket and the headers of every answer.
    virtual void handle(Response& response) = 0;

    Server* const server;             // not owned
    std::unique_ptr<Request> request; // lives while run() does
    StateStore* session = nullptr;    // of the current request; held by `sessionHeld`
    std::string cookieName;           // realm text of the current request
    SocketStream stream;              // over `socket`

private:
    friend class Server;

    platform::UniqueFd socket;
    std::shared_ptr<StateStore> sessionHeld;  // kept alive even if the table drops it
    std::atomic<bool> stopRequested{false};
    std::uint64_t serial = 0;  // the server's name for it, the exit argument
    mutable std::mutex lock;  // guards the two below
    std::string lastRequest;
    std::string clientAddress;
};

} // namespace http
