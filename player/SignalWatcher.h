#pragma once

#include "platform/WakeupDescriptor.h"
#include "platform/WindowTypes.h"

#include <thread>

namespace player {

/// Turns SIGINT and SIGTERM into a WM_CLOSE posted to a window, so that the
/// window thread shuts down in its own time.
class SignalWatcher {
public:
    /// Blocks SIGINT and SIGTERM in the calling thread and so in every thread
    /// it starts afterwards. Call it first thing in `main`, before any thread
    /// exists, so that no thread takes the signal's default action.
    static void blockTerminationSignals();

    /// Starts watching; `target` receives WM_CLOSE on each signal.
    explicit SignalWatcher(platform::HWND target);
    /// Stops watching and waits for the watching thread.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    bool isWatching() const { return signals.isValid(); }

private:
    void watch();

    platform::HWND target;
    platform::UniqueFd signals;
    platform::WakeupDescriptor stopping;
    std::thread thread;
};

} // namespace player
