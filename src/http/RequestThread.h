#pragma once

#include "http/Request.h"
#include "http/SocketStream.h"
#include "platform/UniqueFd.h"
#include "threading/Thread.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace http {

class Response;
class Server;
class StateStore;

/// One connection: its own thread reads requests one after another, ties each
/// to a session and passes it to `handle`. Made on the listener thread, which
/// lists it with the server at construction; deleted by the server's
/// `requestThreadDone` when the thread ends (`exitArgument` is the object).
class RequestThread : public threading::Thread {
public:
    /// Takes the connected socket; `server` must outlive the connection.
    RequestThread(platform::UniqueFd socket, Server& server);
    /// Closes the socket.
    ~RequestThread() override;

    /// Shuts the connection down in the sending direction only; a pending
    /// read still returns when the peer closes. Any thread. The server calls
    /// this version itself (not an override: the object may still be under
    /// construction), under its connection-list lock.
    bool stop() override;
    /// The request cycle: until the peer closes, a receive fails or times out,
    /// an error is answered, an answer cannot be sent, or the client asked for
    /// "Connection: close".
    int run() override;

    /// (clientAddress, lastRequest), read under the connection's lock.
    std::pair<std::string, std::string> activityEntry() const;

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
    platform::UniqueFd socket;
    std::shared_ptr<StateStore> sessionHeld;  // kept alive even if the table drops it
    mutable std::mutex lock;  // guards the two below
    std::string lastRequest;
    std::string clientAddress;
};

} // namespace http
