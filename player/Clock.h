#pragma once

#include <chrono>
#include <cstdint>

namespace player {

/// The time source of the play clock: milliseconds of a monotonic clock.
/// Injected, so that tests move time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
};

/// The real monotonic clock.
class SteadyClock final : public Clock {
public:
    std::int64_t nowMs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

} // namespace player
