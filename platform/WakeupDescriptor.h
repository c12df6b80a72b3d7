#pragma once

#include "platform/UniqueFd.h"

namespace platform {

/// A manual-reset event that `poll` can wait on next to sockets (an eventfd):
/// readable from `signal()` until `reset()`. Thread-safe.
class WakeupDescriptor {
public:
    WakeupDescriptor();

    /// False when the descriptor could not be created.
    bool isValid() const { return fd.isValid(); }
    int descriptor() const { return fd.get(); }

    void signal();
    void reset();
    /// True while signalled (does not wait).
    bool isSignalled() const;

private:
    UniqueFd fd;
};

} // namespace platform
