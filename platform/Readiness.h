#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <span>

namespace platform {

/// A set of descriptors waited on together (epoll). Each is watched for one
/// readiness at a time: once `waitOne` has reported it, it is not reported
/// again until `rearm`, so two threads waiting on the set never take the same
/// descriptor. Descriptors added `persistent` (a wake-up event) are reported
/// for as long as they are readable. Thread-safe.
class ReadinessSet {
public:
    ReadinessSet();
    /// False when the set could not be created.
    bool isValid() const { return fd.isValid(); }

    /// Watches `descriptor` for input (or its end), reported with `key`.
    bool add(int descriptor, void* key, bool persistent = false);
    /// Watches a reported descriptor again.
    bool rearm(int descriptor, void* key);
    /// Stops watching `descriptor`; call before it is closed.
    void remove(int descriptor);

    /// Waits until descriptors are ready and puts the keys of as many of
    /// them as fit (at most 64) into `keys`: their count, or -1 when the wait
    /// failed. Interrupted waits are resumed.
    int wait(std::span<void*> keys);

private:
    bool control(int operation, int descriptor, void* key, bool persistent);

    UniqueFd fd;
};

/// A one-shot timer whose descriptor turns readable when it expires
/// (timerfd). Thread-safe.
class OneShotTimer {
public:
    OneShotTimer();
    bool isValid() const { return fd.isValid(); }
    int descriptor() const { return fd.get(); }
    /// Expires `after` from now (at least a microsecond), replacing any
    /// earlier setting.
    void arm(std::chrono::microseconds after);
    /// Takes the expiry, so the descriptor is no longer readable.
    void consume();

private:
    UniqueFd fd;
};

} // namespace platform
