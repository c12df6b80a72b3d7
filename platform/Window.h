#pragma once

#include "platform/Event.h"
#include "platform/WindowTypes.h"

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

// Windows and messages. A window belongs to the thread that created it; its
// procedure runs only there. Every function is safe to call from any thread
// unless its comment says otherwise. A thread's message queue is created on
// first use and dies with the thread: messages sent to the windows of a thread
// that has ended answer 0 at once.
namespace platform {

/// Creates a window owned by the calling thread. `userData` is for the
/// procedure (see `getWindowUserData`); the window does not own it.
HWND createWindow(WindowProc proc, void* userData = nullptr);

/// Destroys the window. On the owning thread its procedure first receives
/// WM_DESTROY. Messages still queued for it are dropped; a send that has not
/// been served yet answers 0. False for an invalid handle.
bool destroyWindow(HWND hwnd);

bool isWindow(HWND hwnd);
/// True when the calling thread owns the window.
bool isWindowThread(HWND hwnd);

/// Installs `proc` and returns the procedure it replaces (null for an invalid
/// handle or a null `proc`, which changes nothing). Call it on the owning thread
/// so no message of that window runs while the procedures change hands.
WindowProc setWindowProc(HWND hwnd, WindowProc proc);
WindowProc getWindowProc(HWND hwnd);
void* getWindowUserData(HWND hwnd);
/// Returns the previous user data.
void* setWindowUserData(HWND hwnd, void* userData);

/// Calls `proc` directly on the calling thread (the subclassing idiom: a
/// procedure hands a message on to the one it replaced). 0 for a null `proc`.
LRESULT callWindowProc(WindowProc proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
/// The default handling: the system's where there is one (Windows), else
/// 0 to everything.
LRESULT PLATFORM_CALLBACK defWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

/// Runs the window's procedure on the owning thread and returns its answer.
/// On the owning thread the call is direct. From another thread the caller
/// waits, and while it waits it answers messages sent to its own windows, so
/// two threads sending to each other do not deadlock. The owning thread serves
/// the message only inside `getMessage`, `peekMessage`, `sendMessage` or
/// `waitServingMessages`. 0 for an invalid handle.
LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

/// Queues a message for the owning thread's loop and returns at once. Posted
/// messages are dispatched in the order they were posted. False for an
/// invalid handle.
bool postMessage(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

/// Asks the calling thread's message loop to end with `exitCode`; it ends once
/// the messages posted before have been dispatched.
void postQuitMessage(int exitCode);

/// Waits for a posted message of the calling thread, answering sent messages
/// meanwhile. False (with the exit code in `message.wParam`) when the quit
/// request was reached; it is consumed.
bool getMessage(Message& message);
/// Like `getMessage` without waiting: answers pending sent messages and takes
/// a posted message if there is one; false when there was none (a pending quit
/// request stays pending).
bool peekMessage(Message& message);
/// Runs the procedure of the message's window (nothing, answering 0, when the
/// window is gone). Call it on the thread that got the message.
LRESULT dispatchMessage(const Message& message);

/// getMessage / dispatchMessage until the quit request; returns its exit code.
int runMessageLoop();
/// A nested loop (a modal dialog's): dispatches until `finished()` is true
/// after a dispatch, then returns true. When a quit request arrives first it
/// is posted again for the outer loop and the result is false.
bool runNestedLoop(const std::function<bool()>& finished);

/// For a thread whose own event loop (a toolkit's) does the waiting: a
/// descriptor that is readable while the calling thread's queue holds posted
/// or sent messages or the quit request, to be watched next to the loop's
/// other descriptors; on readiness call `pumpMessages`. Made on the first
/// call (later calls give the same one), closed when the thread ends; only
/// the queue reads or clears it. -1 when no descriptor could be made.
int messageQueueDescriptor();
/// Non-blocking: answers the pending sent messages and dispatches posted
/// messages until none is left, then clears the queue's descriptor. When the
/// quit request is reached (after the posted messages) it is consumed and its
/// exit code returned; otherwise nothing. May be called again from inside a
/// dispatched message (a nested loop). Call on the queue's own thread.
std::optional<int> pumpMessages();

/// Waits until `event` is set, answering messages sent to the calling thread's
/// windows meanwhile (posted messages stay queued). This is the wait for the
/// thread that owns windows when it waits on another thread which may itself
/// be sending to those windows.
void waitServingMessages(const Event& event);
/// The same with a limit; true when the event was set.
bool waitServingMessages(const Event& event, std::chrono::milliseconds timeout);

/// Move-only owner of a window: destroys it when it goes.
class UniqueWindow {
public:
    UniqueWindow() = default;
    explicit UniqueWindow(HWND hwnd) : window(hwnd) {}
    UniqueWindow(UniqueWindow&& other) noexcept : window(other.release()) {}
    UniqueWindow& operator=(UniqueWindow&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueWindow(const UniqueWindow&) = delete;
    UniqueWindow& operator=(const UniqueWindow&) = delete;
    ~UniqueWindow() { reset(); }

    HWND get() const { return window; }
    explicit operator bool() const { return window != nullptr; }
    HWND release() { return std::exchange(window, nullptr); }
    void reset(HWND hwnd = nullptr)
    {
        HWND old = std::exchange(window, hwnd);
        if (old)
            destroyWindow(old);
    }

private:
    HWND window = nullptr;
};

} // namespace platform
