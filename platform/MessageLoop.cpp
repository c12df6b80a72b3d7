#include "platform/Window.h"

#include "platform/PlayerMessages.h"
#include "platform/WindowRegistry.h"

#include <optional>

namespace platform {

using detail::findWindow;
using detail::SentMessage;
using detail::ThreadQueue;

namespace {

using Clock = std::chrono::steady_clock;

enum class Fetched { posted, quit, stopped, empty };

/// The common core of every wait of the owning thread: serves sent messages
/// until a posted message (when `takePosted`), the quit request, `stop()`
/// after a served message or the deadline comes. Called with `lock` held on
/// the calling thread's queue; sent messages are served with it released.
/// Between changes it sleeps on the queue, which whoever changes it wakes:
/// waiting costs no processor time, and on a machine where both threads
/// share one processor the other gets it at once.
///
/// Answers of sends that do not wait are told to their sinks once no sent
/// message is left (so a batch of them wakes their sender once), and before
/// this returns.
template <typename Stop>
Fetched fetch(ThreadQueue& queue, std::unique_lock<std::mutex>& lock, Message* out, bool wait,
              const Stop& stop, std::optional<Clock::time_point> deadline = std::nullopt)
{
    for (;;) {
        const bool stopped = stop();
        if ((stopped || queue.sent.empty()) && queue.hasUntoldAnswers()) {
            lock.unlock();
            queue.tellAnswersDelivered();
            lock.lock();
            // What was looked at may have changed while the lock was free
            // (a stop condition met, a message queued): look again.
            if (!stopped)
                continue;
        }
        if (stopped)
            return Fetched::stopped;
        if (!queue.sent.empty()) {
            SentMessage* message = queue.sent.front();
            queue.sent.pop_front();
            lock.unlock();
            queue.serve(*message);
            lock.lock();
            continue;
        }
        if (out) {
            if (!queue.posted.empty()) {
                *out = queue.posted.front();
                queue.posted.pop_front();
                return Fetched::posted;
            }
            if (queue.quitRequested && wait) {
                queue.quitRequested = false;
                *out = Message{nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0};
                return Fetched::quit;
            }
        }
        if (!wait)
            return Fetched::empty;
        const bool timedOut = !queue.sleep(lock, deadline);
        if (timedOut && !stop() && queue.sent.empty())
            return Fetched::empty;
    }
}

constexpr auto never = [] { return false; };

} // namespace

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = findWindow(hwnd);
    if (!window)
        return 0;
    if (window->owner->isOwnedByCallingThread())
        return window->proc.load()(hwnd, message, wParam, lParam);

    // On our stack: we do not return before it is answered.
    SentMessage sent;
    sent.message = Message{hwnd, message, wParam, lParam};
    sent.sender = ThreadQueue::current();
    if (!window->owner->deliver(sent))
        return 0;  // the owning thread has ended
    window.reset();

    // While waiting, answer whatever is sent to our own windows: the receiver
    // may be sending to us before it can answer.
    ThreadQueue& self = *sent.sender;
    std::unique_lock lock(self.mutex);
    fetch(self, lock, nullptr, true, [&] { return sent.done; });
    return sent.result;
}

bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = findWindow(hwnd);
    return window && window->owner->post(Message{hwnd, message, wParam, lParam});
}

void postQuitMessage(int exitCode)
{
    auto self = ThreadQueue::current();
    std::lock_guard guard(self->mutex);
    self->quitRequested = true;
    self->quitCode = exitCode;
    self->notePending();
}

bool getMessage(Message& message)
{
    auto self = ThreadQueue::current();
    std::unique_lock lock(self->mutex);
    return fetch(*self, lock, &message, true, never) == Fetched::posted;
}

bool peekMessage(Message& message)
{
    auto self = ThreadQueue::current();
    std::unique_lock lock(self->mutex);
    return fetch(*self, lock, &message, false, never) == Fetched::posted;
}

LRESULT dispatchMessage(const Message& message)
{
    auto window = findWindow(message.hwnd);
    if (!window)
        return 0;
    return window->proc.load()(message.hwnd, message.message, message.wParam, message.lParam);
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
    auto self = ThreadQueue::current();
    std::lock_guard guard(self->mutex);
    if (!self->descriptor) {
        auto made = std::make_unique<platform::WakeupDescriptor>();
        if (!made->isValid())
            return -1;
        self->descriptor = std::move(made);
        if (!self->posted.empty() || !self->sent.empty() || self->quitRequested)
            self->descriptor->signal();
    }
    return self->descriptor->descriptor();
}

std::optional<int> pumpMessages()
{
    auto self = ThreadQueue::current();
    for (;;) {
        Message message;
        {
            std::unique_lock lock(self->mutex);
            if (fetch(*self, lock, &message, false, never) != Fetched::posted) {
                std::optional<int> exitCode;
                if (self->quitRequested) {
                    self->quitRequested = false;
                    exitCode = self->quitCode;
                }
                self->clearDescriptorIfIdle();
                return exitCode;
            }
        }
        dispatchMessage(message);
    }
}

bool runNestedLoop(const std::function<bool()>& finished)
{
    auto self = ThreadQueue::current();
    for (;;) {
        Message message;
        Fetched got;
        {
            std::unique_lock lock(self->mutex);
            // `finished` may also become true inside a served sent message.
            got = fetch(*self, lock, &message, true, [&] {
                lock.unlock();
                bool done = finished();
                lock.lock();
                return done;
            });
        }
        if (got == Fetched::stopped)
            return true;
        if (got == Fetched::quit) {
            postQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        dispatchMessage(message);
    }
}

namespace {

/// Wakes a thread's message-serving wait when the event it waits for is set.
class QueueWaker final : public Event::Waker {
public:
    explicit QueueWaker(ThreadQueue& queue) : queue(queue) {}

    void wake() override
    {
        bool asleep;
        {
            std::lock_guard guard(queue.mutex);
            fired = true;
            asleep = queue.noteChange();
        }
        if (asleep)
            queue.wake();
    }

    /// Guarded by the queue's lock.
    bool fired = false;

private:
    ThreadQueue& queue;
};

bool waitServing(const Event& event, std::optional<Clock::time_point> deadline)
{
    auto self = ThreadQueue::current();
    QueueWaker waker(*self);
    if (event.addWaker(waker))
        return true;
    bool set;
    {
        std::unique_lock lock(self->mutex);
        set = fetch(*self, lock, nullptr, true, [&] { return waker.fired; }, deadline) ==
              Fetched::stopped;
    }
    // Never while holding the queue lock: the event calls wakers under its own
    // lock and they take the queue lock.
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
