// Windows on Windows: the system's own windows. A handle is the system's
// HWND; procedures are installed with SetWindowLongPtr, so subclassing works
// on any window of the process, the host's main window included.
#include "platform/Window.h"

#include "platform/win32/ThreadQueue.h"

#include <windows.h>

namespace platform {

using detail::ThreadQueue;

namespace {

::HWND native(HWND hwnd) { return reinterpret_cast<::HWND>(hwnd); }

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&native), &module);
    return module;
}

const wchar_t windowClass[] = L"TuneletWindow";

bool registerWindowClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = thisModule();
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.lpszClassName = windowClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

HWND createWindow(WindowProc proc, void* userData)
{
    // Other threads' deferred sends reach this thread through its relay.
    ThreadQueue::current();
    if (!registerWindowClass())
        return nullptr;
    // A hidden top-level window: created under the class's default procedure,
    // then handed to `proc`, which sees every message from then on.
    ::HWND window = CreateWindowExW(0, windowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, thisModule(), nullptr);
    if (!window)
        return nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(userData));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc ? proc : defWindowProc));
    return reinterpret_cast<HWND>(window);
}

bool destroyWindow(HWND hwnd)
{
    ::HWND window = native(hwnd);
    if (!IsWindow(window))
        return false;
    if (isWindowThread(hwnd))
        return DestroyWindow(window) != 0;
    // Only the owning thread may destroy a window: ask its relay.
    auto owner = ThreadQueue::ofWindow(window);
    return owner && owner->destroyOnOwner(window);
}

bool isWindow(HWND hwnd)
{
    return hwnd && IsWindow(native(hwnd));
}

bool isWindowThread(HWND hwnd)
{
    return isWindow(hwnd) && GetWindowThreadProcessId(native(hwnd), nullptr) == GetCurrentThreadId();
}

WindowProc setWindowProc(HWND hwnd, WindowProc proc)
{
    if (!isWindow(hwnd) || !proc)
        return nullptr;
    // A thread that subclasses a window (a plug-in on the host's thread) takes
    // deferred sends to it from then on.
    if (isWindowThread(hwnd))
        ThreadQueue::current();
    return reinterpret_cast<WindowProc>(
        SetWindowLongPtrW(native(hwnd), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

WindowProc getWindowProc(HWND hwnd)
{
    if (!isWindow(hwnd))
        return nullptr;
    return reinterpret_cast<WindowProc>(GetWindowLongPtrW(native(hwnd), GWLP_WNDPROC));
}

void* getWindowUserData(HWND hwnd)
{
    if (!isWindow(hwnd))
        return nullptr;
    return reinterpret_cast<void*>(GetWindowLongPtrW(native(hwnd), GWLP_USERDATA));
}

void* setWindowUserData(HWND hwnd, void* userData)
{
    if (!isWindow(hwnd))
        return nullptr;
    return reinterpret_cast<void*>(
        SetWindowLongPtrW(native(hwnd), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(userData)));
}

LRESULT callWindowProc(WindowProc proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Through the system: a procedure read from a window of the other
    // character set is a handle the system translates, not a function.
    if (!proc)
        return 0;
    return CallWindowProcW(reinterpret_cast<WNDPROC>(proc), native(hwnd), message, wParam, lParam);
}

LRESULT PLATFORM_CALLBACK defWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(native(hwnd), message, wParam, lParam);
}

} // namespace platform
