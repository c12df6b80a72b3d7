#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>

namespace platform {

/// A word one thread sleeps on and others wake it by (a futex): the cheapest
/// way on Linux for one thread to wait for another, one system call to sleep
/// and one to wake. The sleeper reads `value()` while it still sees the state
/// it waits to change, then calls `sleep` with it; a waker changes that state,
/// then calls `wake`. A wake between the two makes `sleep` return at once.
class WakeWord {
public:
    using Clock = std::chrono::steady_clock;

    std::uint32_t value() const { return word.load(std::memory_order_acquire); }
    /// Sleeps while the word still holds `seen`, until `deadline` when given.
    /// False when the deadline passed; may also return early for no reason.
    bool sleep(std::uint32_t seen, std::optional<Clock::time_point> deadline = std::nullopt);
    /// Changes the word and wakes one thread sleeping on it.
    void wake();

private:
    std::atomic<std::uint32_t> word{0};
};

} // namespace platform
