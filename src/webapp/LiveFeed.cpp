#include "webapp/LiveFeed.h"

#include "platform/Window.h"

#include <system_error>

namespace webapp {

LiveFeed::LiveFeed(Read read, std::chrono::milliseconds interval, std::chrono::milliseconds heartbeat)
    : read(std::move(read)), interval(interval), heartbeat(heartbeat)
{
}

LiveFeed::~LiveFeed()
{
    {
        std::lock_guard guard(lock);
        ending = true;
    }
    changed.notify_all();
    if (!watcher.joinable())
        return;
    platform::waitServingMessages(watcherEnded);
    watcher.join();
}

std::pair<std::unique_ptr<LiveFeed::Listener>, LiveState> LiveFeed::open()
{
    std::unique_lock guard(lock);
    if (!fresh) {
        // Nobody watches yet: read now, and the watcher goes on from there.
        guard.unlock();
        LiveState now = read();
        guard.lock();
        if (!fresh) {
            state = std::move(now);
            fresh = true;
        }
    }
    if (!watcher.joinable() && !ending) {
        try {
            watcherEnded.reset();
            watcher = std::thread([this] { watch(); });
        } catch (const std::system_error&) {
            // No thread: listeners hear the heartbeat-less state they began with.
            watcherEnded.set();
        }
    }
    return {std::make_unique<Listener>(*this, state, beats), state};
}

std::size_t LiveFeed::listenerCount() const
{
    std::lock_guard guard(lock);
    return listeners.size();
}

void LiveFeed::wakeAll()
{
    for (Listener* listener : listeners)
        listener->wake();
}

void LiveFeed::watch()
{
    using Clock = std::chrono::steady_clock;
    std::unique_lock guard(lock);
    auto nextBeat = Clock::now() + heartbeat;
    while (!ending) {
        if (listeners.empty()) {
            // What is read next may be long after: not to be handed out.
            fresh = false;
            changed.wait(guard, [&] { return ending || !listeners.empty(); });
            nextBeat = Clock::now() + heartbeat;
            continue;
        }
        guard.unlock();
        LiveState now = read();
        guard.lock();
        bool news = false;
        if (now != state) {
            state = std::move(now);
            news = true;
        }
        fresh = true;
        if (Clock::now() >= nextBeat) {
            ++beats;
            nextBeat = Clock::now() + heartbeat;
            news = true;
        }
        if (news)
            wakeAll();
        changed.wait_for(guard, interval, [&] { return ending; });
    }
    guard.unlock();
    watcherEnded.set();
}

LiveFeed::Listener::~Listener()
{
    std::lock_guard guard(feed.lock);
    feed.listeners.erase(this);
}

void LiveFeed::Listener::listen(http::LaterAnswering::Wake wakeUp)
{
    {
        std::lock_guard guard(feed.lock);
        wake = std::move(wakeUp);
        feed.listeners.insert(this);
        // A change read since it was opened woke the others only.
        if (feed.state != sent)
            wake();
    }
    feed.changed.notify_all();
}

std::string LiveFeed::Listener::due()
{
    LiveState now;
    std::uint64_t beatsNow = 0;
    {
        std::lock_guard guard(feed.lock);
        now = feed.state;
        beatsNow = feed.beats;
    }
    std::string event = liveEvent(&sent, now);
    if (event.empty() && beatsNow != beats)
        event = ": keep-alive\n\n";
    sent = std::move(now);
    beats = beatsNow;
    return event;
}

} // namespace webapp
