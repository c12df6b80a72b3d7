// The relay of each thread that owns windows (see win32/ThreadQueue.h).
#include "platform/win32/ThreadQueue.h"

#include "platform/DeferredSend.h"

#include <algorithm>
#include <unordered_map>

// Outside our namespace, where HWND is the system's.
static const HWND messageOnlyParent = HWND_MESSAGE;

namespace platform::detail {

namespace {

constexpr ::UINT relayServe = WM_USER + 1;    // serve the queued deferred sends
constexpr ::UINT relayDestroy = WM_USER + 2;  // wParam: the window to destroy

struct Registry {
    std::mutex lock;
    std::unordered_map<DWORD, std::weak_ptr<ThreadQueue>> queues;
};

Registry& registry()
{
    // Never destroyed: threads may still look up queues while the process
    // runs its exit handlers.
    static Registry* const instance = new Registry;
    return *instance;
}

::LRESULT CALLBACK relayProc(::HWND hwnd, ::UINT message, ::WPARAM wParam, ::LPARAM lParam)
{
    auto* queue = reinterpret_cast<ThreadQueue*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (queue && message == relayServe) {
        queue->drain();
        return 0;
    }
    if (message == relayDestroy)
        return DestroyWindow(reinterpret_cast<::HWND>(wParam)) ? 1 : 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

const wchar_t relayClass[] = L"TuneletRelay";

HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&relayProc), &module);
    return module;
}

bool registerRelayClass()
{
    static const bool registered = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = relayProc;
        wc.hInstance = thisModule();
        wc.lpszClassName = relayClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

std::shared_ptr<ThreadQueue> makeQueue()
{
    if (!registerRelayClass())
        return nullptr;
    ::HWND relay = CreateWindowExW(0, relayClass, L"", 0, 0, 0, 0, 0, messageOnlyParent, nullptr, thisModule(), nullptr);
    if (!relay)
        return nullptr;
    auto queue = std::make_shared<ThreadQueue>(GetCurrentThreadId(), relay);
    SetWindowLongPtrW(relay, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(queue.get()));
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.queues[GetCurrentThreadId()] = queue;
    return queue;
}

using QueueRef = std::shared_ptr<ThreadQueue>;

// Shuts the queue down when its thread ends, so that deferred sends waiting
// on a thread that is gone get their answer. A fiber-local slot's callback,
// not a thread_local object: the runtime may free thread_local storage
// before it runs the objects' destructors.
void WINAPI threadEnded(void* value)
{
    std::unique_ptr<QueueRef> queue(static_cast<QueueRef*>(value));
    if (queue && *queue)
        (*queue)->shutdown();
}

DWORD queueSlot()
{
    static const DWORD slot = FlsAlloc(threadEnded);
    return slot;
}

} // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::current()
{
    const DWORD slot = queueSlot();
    if (slot == FLS_OUT_OF_INDEXES)
        return nullptr;
    if (auto* held = static_cast<QueueRef*>(FlsGetValue(slot)))
        return *held;
    auto made = std::make_unique<QueueRef>(makeQueue());
    QueueRef queue = *made;
    if (queue && FlsSetValue(slot, made.get()))
        made.release();  // the slot's callback takes it back
    return queue;
}

std::shared_ptr<ThreadQueue> ThreadQueue::ofWindow(::HWND window)
{
    const DWORD owner = GetWindowThreadProcessId(window, nullptr);
    if (owner == 0)
        return nullptr;
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto found = r.queues.find(owner);
    return found == r.queues.end() ? nullptr : found->second.lock();
}

bool ThreadQueue::deliverDeferred(SentMessage& sent)
{
    std::lock_guard guard(mutex);
    if (!alive)
        return false;
    deferred.push_back(&sent);
    return true;
}

void ThreadQueue::wakeForDeferred()
{
    {
        std::lock_guard guard(mutex);
        if (!alive || deferred.empty() || wakeSent)
            return;
        wakeSent = true;
    }
    // A sent message, not a posted one: served in turn with every other
    // message sent to the thread, and before its posted messages.
    SendNotifyMessageW(relay, relayServe, 0, 0);
}

void ThreadQueue::serve(SentMessage& sent)
{
    LRESULT result = 0;
    // The window may have gone while the message waited: then it answers 0.
    const Message& m = sent.message;
    auto window = reinterpret_cast<::HWND>(m.hwnd);
    if (IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == thread)
        result = SendMessageW(window, m.message, m.wParam, m.lParam);
    // Ours: once told, the sink's owner may reuse or destroy `sent`.
    std::shared_ptr<AnswerSink> sink = std::move(sent.sink);
    sent.result = result;
    sink->answered(*sent.deferred);
    if (std::find(answeredSinks.begin(), answeredSinks.end(), sink) == answeredSinks.end())
        answeredSinks.push_back(std::move(sink));
}

void ThreadQueue::drain()
{
    for (;;) {
        SentMessage* next;
        {
            std::lock_guard guard(mutex);
            if (deferred.empty()) {
                wakeSent = false;
                break;
            }
            next = deferred.front();
            deferred.pop_front();
        }
        serve(*next);
    }
    tellAnswersDelivered();
}

void ThreadQueue::tellAnswersDelivered()
{
    std::vector<std::shared_ptr<AnswerSink>> sinks;
    sinks.swap(answeredSinks);
    for (const auto& sink : sinks)
        sink->answersDelivered();
}

bool ThreadQueue::destroyOnOwner(::HWND window)
{
    return SendMessageW(relay, relayDestroy, reinterpret_cast<WPARAM>(window), 0) != 0;
}

void ThreadQueue::shutdown()
{
    std::deque<SentMessage*> unanswered;
    {
        std::lock_guard guard(mutex);
        alive = false;
        unanswered.swap(deferred);
    }
    {
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        auto found = r.queues.find(thread);
        if (found != r.queues.end() && found->second.lock().get() == this)
            r.queues.erase(found);
    }
    for (SentMessage* sent : unanswered) {
        sent->message.hwnd = nullptr;  // answered 0 without running anything
        serve(*sent);
    }
    tellAnswersDelivered();
    SetWindowLongPtrW(relay, GWLP_USERDATA, 0);
    DestroyWindow(relay);
}

} // namespace platform::detail
