#pragma once

#include "http/Connection.h"
#include "http/LaterAnswers.h"
#include "platform/DeferredSend.h"
#include "platform/Readiness.h"
#include "platform/WakeupDescriptor.h"
#include "platform/WindowTypes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace http {

/// What a dispatcher asks of whoever owns its connections (the server). On
/// the dispatcher's threads.
class ConnectionOwner {
public:
    /// `connection` has ended: it is no longer watched, and may be destroyed.
    virtual void connectionEnded(Connection& connection) = 0;
    /// Ends the connections idle, stalled or half-received past their
    /// limits; how long until the next sweep may be due.
    virtual std::chrono::milliseconds endIdleConnections() = 0;

protected:
    ~ConnectionOwner() = default;
};

/// Runs a server's connections on a few threads. A connection waiting for its
/// next request holds no thread: it waits in one readiness set, which reports
/// each arrival of input. One thread at a time, the poller, takes the
/// connections that have something to read (several at once under load) and
/// serves them itself one after another (pipelined requests included), then
/// waits for the next: a keep-alive client under load costs no switch between
/// threads and no change to the set per request. Input reported for a
/// connection that a thread has taken is left to that thread, which looks
/// once more before letting it go. A connection that holds the poller longer
/// than `handOver` (a client that trickles its request body, a wait on the
/// player) makes the standby thread the poller, and a new standby
/// starts; the old poller ends once it is done with that connection. The
/// standby also ends connections left idle past the server's idle limit.
///
/// An answer that waits for the player's thread (`RequestThread::answerLater`)
/// holds no thread either: its message goes there without waiting, and the
/// poller serves the other ready connections meanwhile. The player's thread
/// is woken once for all the messages of a batch, right before the poller
/// waits, and answers them all before it wakes the poller once; each answer
/// then brings its connection back to be served like a ready one. Under load
/// that is one switch to the player's thread and one back per batch instead
/// of two per request.
///
/// An answer that the socket's buffer cannot take whole (a download to a
/// slow reader) holds no thread either: the rest waits in the connection's
/// stream, the set watches the socket for room, and each time there is room
/// a serving thread sends on until the buffer is full again. A request whose
/// head is still on its way waits in the set too, as an idle connection.
///
/// A connection whose answer goes on (an event stream) waits in the set as
/// an idle one does; whoever has more for it wakes it (`wake`), and the
/// sender sends what it has due: one thread, made at the first wake, that
/// runs in the background (`platform::runInBackground`) and offers its CPU
/// between sends, so that a burst of events to many listeners never keeps
/// a request, the player's thread or a client from a CPU. A woken
/// connection that has input too is then served on by the sender as any
/// thread serves a taken one.
///
/// The server starts it with its run, hands it every accepted connection by
/// `watch`, and calls `finish` once no connection is left; it tells the
/// server (its `ConnectionOwner`) of every connection that ends.
class Dispatcher {
public:
    explicit Dispatcher(ConnectionOwner& owner);
    /// Ends and joins every thread.
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    /// Starts the poller and the standby (once; again after `finish`).
    bool start();
    /// Ends the threads and waits for them; call once no connection is left.
    void finish();
    /// Serves `connection` from now on: at once if it has something to read.
    /// False when it cannot be watched (the caller ends it).
    bool watch(Connection& connection);
    /// Hands `message` to its window's thread without waiting; the answer
    /// brings back the connection that `send` is tagged with (see
    /// `Connection::resumeAnswer`). False when it could not be sent. Once
    /// true, that connection may be served again by another thread at any
    /// moment.
    bool sendForLater(platform::DeferredSend& send, const platform::Message& message);
    /// Has the connection `serial` served soon as if input had come (an
    /// answer that goes on has something to send; see
    /// `LaterAnswering::keepAnswering`). Any thread, without waiting; nothing
    /// happens for a connection no longer watched.
    void wake(std::uint64_t serial);

    /// How long one connection may hold the poller before another thread
    /// takes over the polling.
    std::atomic<std::chrono::microseconds> handOver{std::chrono::milliseconds(5)};

private:
    using Clock = std::chrono::steady_clock;

    /// A watched connection, and its state here; the state under `lock`.
    struct Watched {
        Connection* connection;
        bool taken = false;             // a thread serves it, or it waits to be served
        bool arrivedMeanwhile = false;  // input was reported while it was taken
        bool waitsForRoom = false;      // left `sending`, and watched for room
    };
    /// A connection to serve, and why.
    struct Turn {
        enum class Cause { input, answer, room, woken };
        Watched* watched;  // stays in place in `watched` until it ends
        Cause cause;
    };

    void poll(std::uint64_t turn);
    /// Puts the connection a report names in `into` (`pending` by default,
    /// for its input) unless a thread has taken it already; under `lock`.
    void take(std::uint64_t key);
    void take(std::uint64_t key, std::deque<Turn>& into, Turn::Cause cause);
    /// Puts the woken connections in `wokenTurns` and makes the sender if
    /// there is none yet; true when the sender has new turns. Under `lock`.
    bool takeWoken();
    /// Puts the connections whose answers have come in `pending`; under `lock`.
    void takeAnswers();
    void standBy();
    /// The sender's loop: serves `wokenTurns` until `senderStops`.
    void sendWoken();
    /// Serves what `connection` has sent (after finishing its answer, or
    /// sending on what waits for room, as `cause` says); then lets it go or
    /// ends it, or leaves it waiting for an answer or for room.
    void serve(Watched& watched, Turn::Cause cause);
    /// What follows a turn that left the connection `served`: serves it on
    /// while input came meanwhile, lets it go, or ends it.
    void settle(Watched& watched, Connection::Served served);
    /// Leaves `connection` waiting for room in its socket's buffer; false
    /// when the socket cannot be watched for it.
    bool waitForRoom(Watched& watched);
    /// The standby's check of the poller: true when this thread took over.
    bool takeOverIfStuck(std::uint64_t& turn);
    /// Starts the standby thread; under `lock`.
    void startStandby();
    /// Called by a thread about to return; under `lock`.
    void leave(std::uint64_t worker);
    void joinLeft();
    /// Starts a thread that runs `body` and then leaves; under `lock`. False
    /// when no thread could be made.
    bool spawn(std::function<void()> body);

    ConnectionOwner& owner;
    platform::ReadinessSet ready;
    platform::WakeupDescriptor ending;  // signalled by `finish`
    platform::OneShotTimer watchdog;    // armed while the poller serves
    std::atomic<bool> watchdogArmed{false};
    std::atomic<Clock::rep> busySince{0};  // when the poller began serving; 0 while it waits
    std::mutex lock;
    std::uint64_t pollerTurn = 0;       // grows at every take-over; under `lock`
    /// Ready connections taken from the set and not served yet, in order; a
    /// poller that takes over serves them first. Under `lock`.
    std::deque<Turn> pending;
    /// Woken connections taken and not served yet, in order, for the
    /// sender. Under `lock`.
    std::deque<Turn> wokenTurns;
    std::condition_variable wokenCame;  // for the sender: `wokenTurns` or `senderStops`
    bool senderRuns = false;            // under `lock`
    bool senderStops = false;           // under `lock`; set by `finish`
    /// The answers connections wait for, and the threads to wake for them.
    const std::shared_ptr<LaterAnswers> answers = std::make_shared<LaterAnswers>();
    /// The connections woken by `wake`, by serial.
    LaterAnswers woken;
    platform::SendBatch sends;
    /// The watched connections by the key the set reports them with (their
    /// serial: a report may name one that has ended since). Under `lock`.
    std::unordered_map<std::uint64_t, Watched> watched;
    std::uint64_t lastWorker = 0;       // under `lock`
    std::map<std::uint64_t, std::thread> workers;  // under `lock`
    std::vector<std::thread> left;      // returned or returning; under `lock`
};

} // namespace http
