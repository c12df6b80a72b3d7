#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

namespace platform {

/// A set of descriptors waited on together (epoll; WSAPoll on Windows). A
/// descriptor added to watch for `arrivals` is reported once for each arrival
/// of input (or its end) after the last report, and stays watched: whoever
/// takes it from a report must read what is there, and learns of what comes
/// later from the next report. One added for its `level` (a wake-up event) is reported for as
/// long as it is readable. One watched for arrivals may also be watched for
/// room to send: each time its send buffer takes more again (or it fails) it
/// is reported with `writable` added to its key. Thread-safe.
class ReadinessSet {
public:
    enum class Watch { arrivals, level };
    /// Added to a key reported for room to send; keys themselves stay below.
    static constexpr std::uint64_t writable = std::uint64_t{1} << 63;

    ReadinessSet();
    ~ReadinessSet();
    ReadinessSet(const ReadinessSet&) = delete;
    ReadinessSet& operator=(const ReadinessSet&) = delete;
    /// False when the set could not be created.
    bool isValid() const;

    /// Watches `descriptor` for input (or its end), reported with `key`.
    bool add(int descriptor, std::uint64_t key, Watch watch = Watch::arrivals);
    /// Starts (`on`) or stops watching `descriptor`, added for arrivals with
    /// `key`, for room to send. Started while there is room already, it is
    /// reported at once.
    bool watchWritable(int descriptor, std::uint64_t key, bool on);
    /// Stops watching `descriptor`; call before it is closed. Once it
    /// returns, no wait of the set looks at the descriptor any more, so it
    /// may be closed while other threads wait.
    void remove(int descriptor);

    /// Waits until descriptors are ready and puts the keys of as many of
    /// them as fit (at most 64) into `keys`: their count, or -1 when the wait
    /// failed. Interrupted waits are resumed. Without `block` it only looks
    /// (0 when none is ready).
    int wait(std::span<std::uint64_t> keys, bool block = true);

    struct State;  // the system's own

private:
    std::unique_ptr<State> state;
};

/// A one-shot timer whose descriptor turns readable when it expires
/// (timerfd; on Windows a socket that a timer thread makes readable).
/// Thread-safe.
class OneShotTimer {
public:
    OneShotTimer();
    ~OneShotTimer();
    OneShotTimer(const OneShotTimer&) = delete;
    OneShotTimer& operator=(const OneShotTimer&) = delete;
    bool isValid() const;
    int descriptor() const;
    /// Expires `after` from now (at least a microsecond), replacing any
    /// earlier setting.
    void arm(std::chrono::microseconds after);
    /// Takes the expiry, so the descriptor is no longer readable.
    void consume();

    struct State;  // the system's own

private:
    std::unique_ptr<State> state;
};

} // namespace platform
