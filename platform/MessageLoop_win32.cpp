// Message loops on Windows: the system's queue. Sent messages are served by
// the system inside GetMessage, PeekMessage and SendMessage, and here while
// waiting for an event.
#include "platform/Window.h"

#include "platform/win32/ThreadQueue.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace platform {

using detail::ThreadQueue;

namespace {

using Clock = std::chrono::steady_clock;

::HWND native(HWND hwnd) { return reinterpret_cast<::HWND>(hwnd); }

/// A deferred send handed over before this message must still be served
/// first, as it would be had it gone out at once: wake its relay now.
void keepOrderWith(::HWND window)
{
    if (auto owner = ThreadQueue::ofWindow(window))
        owner->wakeForDeferred();
}

Message fromMsg(const MSG& msg)
{
    return Message{reinterpret_cast<HWND>(msg.hwnd), msg.message, msg.wParam, msg.lParam};
}

/// The time left until `deadline` for a wait, in milliseconds.
DWORD remaining(std::optional<Clock::time_point> deadline)
{
    if (!deadline)
        return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<decltype(left)>(left, 0, INFINITE - 1));
}

} // namespace

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!isWindow(hwnd))
        return 0;
    if (!isWindowThread(hwnd))
        keepOrderWith(native(hwnd));
    return SendMessageW(native(hwnd), message, wParam, lParam);
}

bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!isWindow(hwnd))
        return false;
    keepOrderWith(native(hwnd));
    return PostMessageW(native(hwnd), message, wParam, lParam) != 0;
}

void postQuitMessage(int exitCode)
{
    PostQuitMessage(exitCode);
}

bool getMessage(Message& message)
{
    ThreadQueue::current();
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    message = fromMsg(msg);
    return got > 0;
}

bool peekMessage(Message& message)
{
    ThreadQueue::current();
    MSG msg{};
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (msg.message == WM_QUIT) {
        // It stays pending for the loop that waits for it.
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    message = fromMsg(msg);
    return true;
}

LRESULT dispatchMessage(const Message& message)
{
    if (!isWindow(message.hwnd))
        return 0;
    MSG msg{};
    msg.hwnd = native(message.hwnd);
    msg.message = message.message;
    msg.wParam = message.wParam;
    msg.lParam = message.lParam;
    msg.time = static_cast<DWORD>(GetMessageTime());
    return DispatchMessageW(&msg);
}

int runMessageLoop()
{
    Message message;
    while (getMessage(message))
        dispatchMessage(message);
    return static_cast<int>(message.wParam);
}

int messageQueueDescriptor()
{
    // The system's queue has no descriptor: a loop of its own waits on it
    // with MsgWaitForMultipleObjects instead.
    return -1;
}

std::optional<int> pumpMessages()
{
    ThreadQueue::current();
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return static_cast<int>(msg.wParam);
        DispatchMessageW(&msg);
    }
    return std::nullopt;
}

bool runNestedLoop(const std::function<bool()>& finished)
{
    ThreadQueue::current();
    for (;;) {
        if (finished())
            return true;
        // Serves the sent messages, then takes a posted one.
        MSG msg{};
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return false;
            }
            DispatchMessageW(&msg);
            continue;
        }
        // A served sent message may have finished it.
        if (finished())
            return true;
        // Anything that arrives after the look above wakes this wait.
        MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, 0);
    }
}

namespace {

/// Sets a system event when the awaited event is set.
class HandleWaker final : public Event::Waker {
public:
    explicit HandleWaker(HANDLE handle) : handle(handle) {}
    void wake() override { SetEvent(handle); }

private:
    HANDLE handle;
};

bool waitServing(const Event& event, std::optional<Clock::time_point> deadline)
{
    const std::unique_ptr<void, decltype(&CloseHandle)> owned(CreateEventW(nullptr, TRUE, FALSE, nullptr),
                                                              &CloseHandle);
    HANDLE fired = owned.get();
    if (!fired)
        return event.isSet();
    HandleWaker waker(fired);
    if (event.addWaker(waker))
        return true;
    bool set = false;
    while (!set) {
        // Serves the sent messages; posted ones stay queued.
        MSG msg{};
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &fired, remaining(deadline), QS_SENDMESSAGE, 0);
        if (woke == WAIT_OBJECT_0)
            set = true;
        else if (woke == WAIT_TIMEOUT || woke == WAIT_FAILED)
            break;
    }
    event.removeWaker(waker);
    return set || event.isSet();
}

} // namespace

void waitServingMessages(const Event& event)
{
    waitServing(event, std::nullopt);
}

bool waitServingMessages(const Event& event, std::chrono::milliseconds timeout)
{
    return waitServing(event, Clock::now() + timeout);
}

} // namespace platform
