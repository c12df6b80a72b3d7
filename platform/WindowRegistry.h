#pragma once

#include "platform/ThreadQueue.h"
#include "platform/WindowTypes.h"

#include <atomic>
#include <memory>

// Internal to the window layer: the table from window handles to windows.
namespace platform::detail {

struct WindowRecord {
    std::shared_ptr<ThreadQueue> owner;
    std::atomic<WindowProc> proc;
    std::atomic<void*> userData;
};

/// The window of `hwnd`; null when it is not (or no longer) a window. The
/// record stays usable while the caller holds it, even if destroyed meanwhile.
std::shared_ptr<WindowRecord> findWindow(HWND hwnd);

} // namespace platform::detail
