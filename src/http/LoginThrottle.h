#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace http {

/// Slows down password guessing, one client address at a time: the first
/// `freeFailures` wrong credentials cost nothing, each one after that shuts
/// the address out of credential checks for twice as long as the one before
/// (1 s, 2 s, ... up to `longestLock`). A right answer, or `memory` without
/// a wrong one, wipes the address's record. Other addresses are never
/// affected, and at most `capacity` addresses are remembered (the one whose
/// last failure is oldest goes first). While nothing is remembered, every
/// call returns without taking the lock, so logged-in traffic pays nothing.
/// Any thread.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr int freeFailures = 5;
    static constexpr std::chrono::seconds longestLock{64};
    static constexpr std::chrono::minutes memory{15};
    static constexpr std::size_t defaultCapacity = 4096;

    explicit LoginThrottle(std::function<Clock::time_point()> now = Clock::now,
                           std::size_t capacity = defaultCapacity);

    /// How long `address` must still wait before its credentials are
    /// checked again, rounded up to whole seconds; zero when they may be.
    std::chrono::seconds lockedFor(std::string_view address);
    /// Records wrong credentials from `address`.
    void failed(std::string_view address);
    /// Records right credentials from `address`.
    void succeeded(std::string_view address);

    /// Reads the time from `clock` from now on (for tests).
    void useClock(std::function<Clock::time_point()> clock);

private:
    struct Record {
        int failures = 0;
        Clock::time_point lastFailure;
        Clock::time_point lockedUntil;
    };

    void dropOldest();

    std::function<Clock::time_point()> now;
    const std::size_t capacity;
    std::atomic<std::size_t> remembered{0};  // records.size(), read without the lock
    std::mutex lock;                         // guards everything below
    std::unordered_map<std::string, Record> records;
};

} // namespace http
