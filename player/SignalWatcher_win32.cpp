// Termination requests on Windows: the console's events (Ctrl+C, Ctrl+Break,
// the console closing, log-off, shut-down) arrive on a thread the system
// starts, which posts WM_CLOSE to the window.
#include "player/SignalWatcher.h"

#include "platform/PlayerMessages.h"
#include "platform/Window.h"

#include <atomic>

namespace {
// Taken before Windows' headers, whose macros bear the same names.
constexpr platform::UINT closeMessage = platform::WM_CLOSE;
} // namespace

#include <windows.h>

namespace player {

namespace {

std::atomic<platform::HWND> closeTarget{nullptr};

BOOL WINAPI onConsoleEvent(DWORD)
{
    platform::HWND target = closeTarget.load();
    return target && platform::postMessage(target, closeMessage) ? TRUE : FALSE;
}

} // namespace

void SignalWatcher::blockTerminationSignals()
{
    // Nothing to block: console events never interrupt a thread.
}

SignalWatcher::SignalWatcher(platform::HWND target) : target(target)
{
    closeTarget = target;
    // `signals` holds an event while the handler is installed (and so
    // `isWatching`); no thread of ours watches.
    if (SetConsoleCtrlHandler(onConsoleEvent, TRUE))
        signals.reset(static_cast<int>(reinterpret_cast<INT_PTR>(CreateEventW(nullptr, TRUE, TRUE, nullptr))));
}

SignalWatcher::~SignalWatcher()
{
    if (signals.isValid())
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    closeTarget = nullptr;
}

void SignalWatcher::watch() {}

} // namespace player
