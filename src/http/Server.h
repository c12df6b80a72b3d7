#pragma once

#include "http/AccessRules.h"
#include "http/Dispatcher.h"
#include "http/LoginThrottle.h"
#include "message/Request.h"
#include "http/SessionTable.h"
#include "platform/Event.h"
#include "platform/UniqueFd.h"
#include "platform/WakeupDescriptor.h"
#include "threading/Callback.h"
#include "threading/Delegate.h"
#include "threading/Thread.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace http {

class RequestThread;
class StateStore;

/// Where a listener listens: an IPv4 address (network byte order; 0: every
/// interface) and a port (host byte order; 0: any free port).
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    /// An address nothing can be bound to: a listener given it ends at once
    /// with -1, as for any address that cannot be listened on.
    static constexpr std::uint32_t unlistenable = 0xFFFFFFFFu;
    bool operator==(const Endpoint&) const = default;
};

/// What `activity` observers receive (through a pointer that is valid only
/// during the call): (clientAddress, lastRequest) of every live connection,
/// in order of acceptance.
using ActivityList = std::vector<std::pair<std::string, std::string>>;

/// The HTTP listener: its thread accepts TCP connections on one IPv4 address
/// and port, refuses peers by address pattern before reading anything from
/// them, and hands every other connection, a `RequestThread`, to its
/// `Dispatcher`, whose few threads serve them all. It also owns the session
/// table and the list of live connections.
///
/// Threads: the owner starts, restarts, stops and configures it, from any
/// thread: `start`, `restart`, `stop` and `quit` may come from several threads
/// at once and in any order, and the listener ends up in the state asked for
/// last (running on the endpoint last given, or ended), except that nothing
/// runs it again after `quit`. The listener thread runs `run` and
/// `acceptConnection`; the dispatcher's threads serve the connections. The
/// owner writes the document root only while the listener is stopped; the
/// access rules it may replace at any time (`setAccess`).
///
/// Shutdown: `quit()` (or `stop()`), wait on `threadHandle()` (the listener
/// thread ends only after every connection has ended), then destroy. A stop ends idle
/// connections at once and lets an answer being written go on for at most
/// `answerGrace`; then every connection still live is closed.
///
/// Connections that wait for their next request hold no thread, so only the
/// others count against `maxConnections`: past it a new peer is answered 503
/// and closed. One peer address holds at most `maxConnectionsPerPeer`
/// connections, and all of them together at most `maxOpenConnections` (fewer
/// when the descriptors allow fewer): at either limit a new peer takes the
/// place of the connection (of that address, or of any) that has waited
/// longest for its next request, or is answered 503 and closed when none
/// waits. A send that moves nothing for `sendStallLimit` seconds ends its
/// connection. A connection whose answer goes on (an event stream) counts as
/// one waiting for its next request, since it began, for all three limits
/// (so a new peer may take its place), but the idle limit does not end it.
class Server : public threading::Thread, private ConnectionOwner {
public:
    Server(std::uint32_t listenAddress, std::uint16_t listenPort);
    /// Stops again (without waiting) and frees the sessions.
    ~Server() override;

    /// Starts the listener on the endpoint last given; false when it runs
    /// already, after `quit`, or when no thread could be made.
    bool start();
    /// Listens on `endpoint` from now on: a running listener closes its
    /// socket, stops its connections (each finishes the answer it is
    /// writing) and listens anew; a stopped one, or one on its way out, is
    /// started (again). False only after `quit` or when no thread could be
    /// made.
    bool restart(Endpoint endpoint);
    /// Ends the listener, and stops every live connection (see above).
    bool stop() override;
    /// As `stop`, for good: `start` and `restart` are refused afterwards.
    void quit();
    /// The accept loop. Returns -1 when the socket cannot be bound or listened
    /// on, 0 after a stop; either way only once no connection is live.
    int run() override;
    /// The endpoint the listener listens, or is to listen, on.
    Endpoint endpoint() const;

    /// Whether a request for `path` may be authorised by the URL token of a
    /// session given in its query (what a media player handed our URLs
    /// sends) instead of the session's cookie or credentials. None by default.
    virtual bool opensWithUrlToken(const std::string& path);
    /// Takes an accepted, blocking socket and starts serving it (normally
    /// through `startConnection`); false when it could not.
    virtual bool acceptConnection(platform::UniqueFd socket) = 0;

    /// The access rules in force, shared and never changed once handed out:
    /// a reader keeps one consistent set for as long as it holds it. Any thread.
    std::shared_ptr<const AccessRules> access() const;
    /// Replaces the rules at once; requests judged afterwards use the new
    /// ones. Any thread.
    void setAccess(AccessRules rules);

    /// The admission rule of the current rules for a dotted address (applied
    /// when `filterIPs` is on).
    bool isAllowed(std::string_view addressText) const;

    /// The sessions this listener issued. Any thread.
    SessionTable& sessions() { return sessionTable; }
    /// The wrong-password record of this listener's clients. Any thread.
    LoginThrottle& throttle() { return loginThrottle; }

    /// Tells `activity` observers what every live connection last asked for.
    /// Call without holding `connectionsLock`.
    void publishActivity();
    /// What `publishActivity` tells, read now. Any thread.
    ActivityList activityList() const;

    /// For a connection's `answerLater`: hands `message` to its window's
    /// thread without waiting (see `Dispatcher::sendForLater`). Any serving
    /// thread.
    bool sendForLater(platform::DeferredSend& send, const platform::Message& message);
    /// For a connection whose answer goes on: has it served soon (see
    /// `Dispatcher::wake`). Any thread.
    void wake(std::uint64_t serial) { dispatcher.wake(serial); }

    /// The receive limits every request is parsed with.
    ReceiveLimits receiveLimits() const;
    /// The port being listened on (useful after binding port 0); 0 while not
    /// listening.
    std::uint16_t listeningPort() const { return boundPort.load(); }
    /// Why the last attempt to listen failed (an errno value, e.g.
    /// EADDRINUSE); 0 once a socket listens, and before the first attempt.
    /// Set before `onFinished` is told. Any thread.
    int listenFailure() const { return listenError.load(); }
    /// How many connections are live.
    std::size_t connectionCount() const;
    /// How many of them wait for their next request.
    std::size_t idleConnectionCount() const;

    threading::Delegate activity;
    /// Told (argument 0, on the listener thread) each time a socket listens,
    /// after a start or a restart.
    threading::Delegate onListening;
    std::string documentRoot;
    /// Seconds an open connection may wait for the first byte of its next
    /// request, and seconds a request may take to arrive once begun; 0 or less
    /// means no limit.
    std::atomic<int> idleTimeout{900};
    std::atomic<int> requestTimeout{30};
    std::atomic<std::size_t> maxConnections{256};
    std::atomic<std::size_t> maxConnectionsPerPeer{32};
    std::atomic<std::size_t> maxOpenConnections{16384};
    std::atomic<int> sendStallLimit{60};
    std::atomic<std::chrono::milliseconds> answerGrace{std::chrono::seconds(2)};
    /// Signalled whenever no connection is live (created signalled).
    platform::Event allRequestsDone{true};

protected:
    /// Told, under the lock that orders them, of every `start` and `restart`
    /// (true) and every stop (false) that is taken: the last call tells the
    /// state asked for last. Must not call back into the server. Nothing by
    /// default.
    virtual void runningAsked(bool) {}
    /// The usual `acceptConnection`: lists the connection (resetting
    /// `allRequestsDone`; stopped at once when a stop is pending) and has it
    /// served. The list owns it until it ends; one that cannot be served is
    /// unlisted and destroyed at once.
    bool startConnection(std::unique_ptr<RequestThread> connection);

private:
    /// Asks the loop to run (on `wanted`), starting its thread when none
    /// runs; under `stateLock`.
    bool askToRun();
    /// What the loop does next: the endpoint to listen on, or none when it
    /// is to wind down; `seen` tells which requests it has seen.
    std::optional<Endpoint> nextRun(std::uint64_t& seen);
    /// After a failure to listen: no longer running unless asked anew since.
    void giveUp(std::uint64_t seen);
    /// With no connection left: whether the loop may end (it then counts
    /// as ended), or is to run again.
    bool mayEnd();
    /// Accepts on `endpoint` until a request to the loop comes; false when
    /// it cannot be listened on.
    bool listenOn(Endpoint endpoint);
    /// Stops every listed connection.
    void stopConnections();
    /// Unlists and destroys an ended connection. On a serving thread.
    void connectionEnded(Connection& connection) override;
    /// Closes the connections that have waited for their next request past
    /// the idle limit, or for room to send past the stall limit; how long
    /// until the next of them may be due (at most a second when none waits).
    std::chrono::milliseconds endIdleConnections() override;
    /// Takes a connection out of the list; null when it was not listed.
    std::unique_ptr<RequestThread> removeConnection(std::uint64_t serial);
    /// The last step of a connection's end: signals `allRequestsDone` when it
    /// was the last. Its last touch of the server is under `connectionsLock`,
    /// which the destructor also takes.
    void connectionFinished();
    void acceptOne(int listening);
    /// Makes room for a new connection from `peer` (see the limits above),
    /// closing an idle one if need be; false when it is to be refused.
    bool makeRoom(std::uint32_t peer);
    /// Waits until no connection is left (cutting off answers still being
    /// written after `answerGrace`) and ends the dispatcher's threads.
    void finish();

    /// What the owner asked for last; under `stateLock`.
    mutable std::mutex stateLock;
    Endpoint wanted;
    bool runWanted = false;
    bool quitting = false;
    bool loopRuns = false;  // a thread runs the loop, and will look at `runWanted` again
    std::uint64_t asked = 0;  // grows with every request to the loop

    std::vector<std::unique_ptr<RequestThread>> connections;  // under connectionsLock
    std::uint64_t lastSerial = 0;  // under connectionsLock
    std::size_t unfinished = 0;  // listed, or still on their way out; under connectionsLock
    std::size_t descriptorLimit = 0;  // of this process, raised by `run`; listener thread
    mutable std::mutex connectionsLock;
    platform::WakeupDescriptor stopEvent;
    SessionTable sessionTable;
    LoginThrottle loginThrottle;
    std::atomic<std::uint16_t> boundPort{0};
    std::atomic<int> listenError{0};
    std::shared_ptr<const AccessRules> accessRules = std::make_shared<const AccessRules>();
    mutable std::mutex accessLock;
    Dispatcher dispatcher{static_cast<ConnectionOwner&>(*this)};  // last: its threads end before the rest goes
};

} // namespace http
