#pragma once

#include "http/Request.h"
#include "http/SocketStream.h"
#include "platform/UniqueFd.h"

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

/// One connection: reads its requests one after another, ties each to a
/// session and passes it to `handle`. Made on the listener thread and handed
/// to the server's `startConnection`, which owns it from then on; the
/// server's serving threads take turns with it (one at a time, see
/// `Dispatcher`), and the server destroys it once it has ended.
class RequestThread {
public:
    /// Takes the connected socket; `server` must outlive the connection.
    RequestThread(platform::UniqueFd socket, Server& server);
    /// Closes the socket.
    virtual ~RequestThread();
    RequestThread(const RequestThread&) = delete;
    RequestThread& operator=(const RequestThread&) = delete;

    /// Ends the connection after the answer being written, if any: a pending
    /// or later wait for a request returns at once and nothing more is read
    /// or answered. Any thread.
    void stop();
    /// As `stop`, and an answer being written fails at once too.
    void closeNow();
    /// Serves the requests that have arrived or begun to arrive since input
    /// was last reported, until the socket is found empty (a request begun is
    /// waited for whole). False once the connection is to end: the
    /// peer closed, a receive failed or timed out, an error was answered, an
    /// answer could not be sent, the client asked for "Connection: close", or
    /// the connection was stopped.
    bool serveAvailable();

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
    std::unique_ptr<Request> request; // lives while the connection is open
    StateStore* session = nullptr;    // of the current request; held by `sessionHeld`
    std::string cookieName;           // realm text of the current request
    SocketStream stream;              // over `socket`

private:
    friend class Server;
    friend class Dispatcher;

    /// One request and its answer; false when the connection is to end.
    bool serveRequest();

    platform::UniqueFd socket;
    std::shared_ptr<StateStore> sessionHeld;  // kept alive even if the table drops it
    std::atomic<bool> stopRequested{false};
    std::uint64_t serial = 0;  // the server's name for it
    /// The dispatcher's state of the connection; under its lock.
    bool taken = false;         // a thread serves it, or it waits to be served
    bool arrivedMeanwhile = false;  // input was reported while it was taken
    mutable std::mutex lock;  // guards the two below
    std::string lastRequest;
    std::string clientAddress;
};

} // namespace http
