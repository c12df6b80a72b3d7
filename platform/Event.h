#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

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

private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    bool signalled;
};

} // namespace platform
