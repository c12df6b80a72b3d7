#pragma once

#include "http/LaterAnswering.h"
#include "http/OngoingAnswer.h"
#include "platform/Event.h"
#include "webapp/LiveState.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace webapp {

/// The player's state for the listeners of the live stream. While at least
/// one listener is open, a watcher thread reads the state every `interval`
/// and wakes every listener when it changed, whatever changed it (a client,
/// the player's own window, a track ending), and every `heartbeat` for a
/// comment line; with none it waits, reading nothing. Each listener sends
/// what changed since what it sent last, so a listener woken late sends one
/// event for several changes.
///
/// Threads: `open` and the listeners run on serving threads; the watcher on
/// its own thread, made at the first listener. The destructor ends it and
/// waits, answering the messages sent to the calling thread's windows
/// meanwhile (the watcher may be waiting on the player's thread, which is
/// the one that destroys the application at quit). Every listener must be
/// gone before the feed.
class LiveFeed {
public:
    using Read = std::function<LiveState()>;

    /// `read` gives the state on the watcher's thread or the caller of `open`.
    explicit LiveFeed(Read read, std::chrono::milliseconds interval = std::chrono::milliseconds(50),
                      std::chrono::milliseconds heartbeat = std::chrono::seconds(15));
    ~LiveFeed();
    LiveFeed(const LiveFeed&) = delete;
    LiveFeed& operator=(const LiveFeed&) = delete;

    /// A listener that starts from the state now, and that state, whose
    /// whole event the caller sends first. The listener is not woken until
    /// `listen` gives it its wake-up.
    class Listener;
    std::pair<std::unique_ptr<Listener>, LiveState> open();
    /// How many listeners are open.
    std::size_t listenerCount() const;

private:
    friend class Listener;
    void watch();
    /// Wakes every listener; under `lock`.
    void wakeAll();

    const Read read;
    const std::chrono::milliseconds interval;
    const std::chrono::milliseconds heartbeat;
    mutable std::mutex lock;  // guards everything below
    std::condition_variable changed;
    std::set<Listener*> listeners;
    LiveState state;
    bool fresh = false;       // `state` was read since the first listener came
    std::uint64_t beats = 0;  // heartbeats so far
    bool ending = false;
    std::thread watcher;
    platform::Event watcherEnded{true};
};

/// One listener of the feed: the ongoing answer of one stream connection.
class LiveFeed::Listener final : public http::OngoingAnswer {
public:
    Listener(LiveFeed& feed, LiveState sent, std::uint64_t beats) : feed(feed), sent(std::move(sent)), beats(beats) {}
    ~Listener() override;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    /// Listens from now on: `wake` is called (under the feed's lock) at
    /// every change and heartbeat.
    void listen(http::LaterAnswering::Wake wake);
    /// The event of what changed since it last sent, or a comment line when
    /// a heartbeat has passed and nothing changed.
    std::string due() override;

private:
    friend class LiveFeed;
    LiveFeed& feed;
    http::LaterAnswering::Wake wake;  // under the feed's lock
    LiveState sent;                   // serving thread
    std::uint64_t beats;              // serving thread
};

} // namespace webapp
