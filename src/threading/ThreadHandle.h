#pragma once

#include "platform/Event.h"

#include <chrono>

namespace threading {

/// What an owner waits on for a thread's end. Shared between the `Thread` and
/// the operating-system thread, so it outlives a `Thread` that an `onFinished`
/// observer deleted. Signalled after the thread's last touch of its object.
class ThreadHandle {
public:
    void wait() const { finished.wait(); }
    bool waitFor(std::chrono::milliseconds timeout) const { return finished.waitFor(timeout); }
    bool isFinished() const { return finished.isSet(); }
    /// The underlying event, for waits that must keep serving messages.
    const platform::Event& event() const { return finished; }

    void markFinished() { finished.set(); }

private:
    platform::Event finished;
};

} // namespace threading
