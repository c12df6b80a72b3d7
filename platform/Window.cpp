#include "platform/Window.h"

#include "platform/PlayerMessages.h"
#include "platform/WindowRegistry.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace detail {

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<WindowRecord>> windows;
    std::uintptr_t lastId = 0;
};

Registry& registry()
{
    // Never destroyed: detached threads may still send messages while the
    // process runs its exit handlers.
    static Registry* const instance = new Registry;
    return *instance;
}

std::uintptr_t keyOf(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

} // namespace

std::shared_ptr<WindowRecord> findWindow(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto found = r.windows.find(keyOf(hwnd));
    return found == r.windows.end() ? nullptr : found->second;
}

} // namespace detail

using detail::findWindow;

HWND createWindow(WindowProc proc, void* userData)
{
    auto record = std::make_shared<detail::WindowRecord>();
    record->owner = detail::ThreadQueue::current();
    record->proc = proc ? proc : defWindowProc;
    record->userData = userData;
    detail::Registry& r = detail::registry();
    std::lock_guard guard(r.lock);
    std::uintptr_t id = ++r.lastId;
    r.windows.emplace(id, std::move(record));
    return reinterpret_cast<HWND>(id);
}

bool destroyWindow(HWND hwnd)
{
    auto window = findWindow(hwnd);
    if (!window)
        return false;
    if (window->owner->isOwnedByCallingThread())
        window->proc.load()(hwnd, WM_DESTROY, 0, 0);
    detail::Registry& r = detail::registry();
    std::lock_guard guard(r.lock);
    return r.windows.erase(detail::keyOf(hwnd)) == 1;
}

bool isWindow(HWND hwnd)
{
    return findWindow(hwnd) != nullptr;
}

bool isWindowThread(HWND hwnd)
{
    auto window = findWindow(hwnd);
    return window && window->owner->isOwnedByCallingThread();
}

WindowProc setWindowProc(HWND hwnd, WindowProc proc)
{
    auto window = findWindow(hwnd);
    if (!window || !proc)
        return nullptr;
    return window->proc.exchange(proc);
}

WindowProc getWindowProc(HWND hwnd)
{
    auto window = findWindow(hwnd);
    return window ? window->proc.load() : nullptr;
}

void* getWindowUserData(HWND hwnd)
{
    auto window = findWindow(hwnd);
    return window ? window->userData.load() : nullptr;
}

void* setWindowUserData(HWND hwnd, void* userData)
{
    auto window = findWindow(hwnd);
    return window ? window->userData.exchange(userData) : nullptr;
}

LRESULT callWindowProc(WindowProc proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT PLATFORM_CALLBACK defWindowProc(HWND, UINT, WPARAM, LPARAM)
{
    return 0;
}

} // namespace platform
