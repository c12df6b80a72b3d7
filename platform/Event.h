#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {

/// A manual-reset event: once set it stays set, releasing every waiter, until
/// reset. All operations are thread-safe.
class Event {
public:
    explicit Event(bool initiallySet = false) : signalled(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;

    /// Waits until the event is set.
    void wait() const;
    /// Waits at most `timeout`; true when the event is set.
    bool waitFor(std::chrono::milliseconds timeout) const;

    /// Told when the event becomes set, for waits that watch more than this
    /// event (the message-serving wait of Window.h). `wake` runs under the
    /// event's lock: it must be short and must not touch this event.
    class Waker {
    public:
        virtual void wake() = 0;

    protected:
        ~Waker() = default;
    };
    /// Registers `waker` unless the event is set already; true when it is set
    /// (then nothing is registered). After `removeWaker` returns, `wake` is no
    /// longer called.
    bool addWaker(Waker& waker) const;
    void removeWaker(Waker& waker) const;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool signalled;
    mutable std::vector<Waker*> wakers;
};

} // namespace platform
