#pragma once

#include "http/Connection.h"
#include "http/LaterAnswering.h"
#include "http/OngoingAnswer.h"
#include "message/Request.h"
#include "message/Response.h"
#include "message/SocketStream.h"
#include "platform/DeferredSend.h"
#include "platform/UniqueFd.h"
#include "platform/WindowTypes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace http {

class Server;
class StateStore;

/// One client connection (no thread of its own, whatever the name says):
/// reads its requests one after another, ties each to a session and passes
/// it to `handle`. Made on the listener thread and handed to the server's
/// `startConnection`, which owns it from then on; the dispatcher's serving
/// threads take turns with it (one at a time) through the `Connection`
/// interface, and the server destroys it once it has ended.
///
/// Each request is judged with what the server hands it at that moment: one
/// snapshot of the access rules, the server's session table and
/// wrong-password record (see `attachSession`).
class RequestThread : public Connection, public LaterAnswering {
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
    /// Whether `stop` or `closeNow` was called. Any thread.
    bool isStopped() const { return stopRequested.load(); }

    /// A request begun is waited for whole (in the readiness set, holding no
    /// thread). The connection is to end once the peer closed, a receive
    /// failed or timed out, an error was answered, an answer could not be
    /// sent, the client asked for "Connection: close", or the connection was
    /// stopped.
    Served serveAvailable() override;
    Served resumeAnswer() override;
    Served resumeSending() override;
    Served sendDue() override;
    void markIdle() override { stream.markIdle(); }
    int descriptor() const override { return socket.get(); }

    /// See `LaterAnswering`: the serving thread goes on with other
    /// connections meanwhile (the connection is left `waiting`).
    void answerLater(const platform::Message& message, Finish finish) override;
    /// See `LaterAnswering`: the connection is let go as an idle one.
    Wake keepAnswering(std::unique_ptr<OngoingAnswer> answer) override;
    /// Whether its answer goes on (`keepAnswering`). Any thread.
    bool isAnsweringOn() const { return answeringOn.load(); }

    /// (clientAddress, lastRequest), read under the connection's lock.
    std::pair<std::string, std::string> activityEntry() const;
    /// Since when the connection has waited for its next request; none while
    /// a request is being received or answered. Any thread.
    std::optional<std::chrono::steady_clock::time_point> idleSince() const { return stream.idleSince(); }
    /// Since when a request has been arriving without its whole head
    /// (meanwhile the connection counts as idle); none otherwise. Any thread.
    std::optional<std::chrono::steady_clock::time_point> partialSince() const { return stream.partialSince(); }
    /// Since when an answer left `sending` has not moved; none while no
    /// answer waits for room. Any thread.
    std::optional<std::chrono::steady_clock::time_point> unsentSince() const { return stream.unsentSince(); }
    /// The peer's address (network order; 0 when unknown).
    std::uint32_t peer() const { return peerAddress; }

protected:
    /// Produces and sends the answer to `request` (status 0) through
    /// `response`, which carries the socket and the headers of every answer.
    virtual void handle(Response& response) = 0;
    /// Judges a parsed request (status 0) before its session and credentials
    /// are looked at: 0 admits it; 403 or 421 answers it so, with nothing
    /// done for it, and ends the connection. On the serving thread; admits
    /// every request unless overridden.
    virtual int refusal() const { return 0; }

    Server* const server;             // not owned
    std::unique_ptr<Request> request; // lives while the connection is open
    StateStore* session = nullptr;    // of the current request; held by `sessionHeld`
    std::string cookieName;           // realm text of the current request
    SocketStream stream;              // over `socket`

private:
    /// An answer put off by `answerLater`.
    struct LaterAnswer {
        explicit LaterAnswer(std::uint64_t serial) : send(serial) {}
        platform::DeferredSend send;  // tagged with the connection's serial
        platform::Message message{};
        Finish finish;
        std::optional<Response> response;
        bool asked = false;         // by the request being handled
        bool clientCloses = false;  // the request asked for "Connection: close"
    };

    /// One request and its answer: `idle` to go on with the next.
    Served serveRequest();
    /// Serves requests while some have arrived or begun to arrive.
    Served serveOn();
    /// What follows an answer: `sending` while some of it waits for room,
    /// else as `afterSending`.
    Served answered(bool clientCloses);
    /// What follows an answer sent whole: `idle` to go on with the next request.
    Served afterSending(bool clientCloses) const;
    /// Sends the message `answerLater` was asked for, or finishes the answer
    /// with 0 when it cannot be sent.
    Served sendForLater(Response& response, bool clientCloses);
    /// Finishes the put-off answer with `result`; `idle` to go on.
    Served finishLater(platform::LRESULT result);
    /// Serves a connection whose answer goes on: ends it when the peer has
    /// closed or it was stopped, else sends what is due.
    Served serveOngoing();
    /// Sends what the answer that goes on has due; ends it once stopped.
    Served sendOngoing();

    platform::UniqueFd socket;
    std::shared_ptr<StateStore> sessionHeld;  // kept alive even if the table drops it
    std::unique_ptr<LaterAnswer> later;       // made at the first answer put off
    std::unique_ptr<OngoingAnswer> ongoing;   // the answer that goes on, if any
    std::atomic<bool> answeringOn{false};     // `ongoing` is set
    std::atomic<bool> stopRequested{false};
    const std::uint32_t peerAddress;
    bool closesAfterSending = false;  // the answer left `sending` ends the connection
    mutable std::mutex lock;  // guards the two below
    std::string lastRequest;
    std::string clientAddress;
};

} // namespace http
