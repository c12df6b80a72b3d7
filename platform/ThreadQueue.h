#pragma once

#include "platform/WakeWord.h"
#include "platform/WakeupDescriptor.h"
#include "platform/WindowTypes.h"

#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {
class AnswerSink;
class DeferredSend;
}

// Internal to the window layer (Window.cpp, MessageLoop.cpp): one message
// queue per thread that has used the layer.
namespace platform::detail {

class ThreadQueue;

/// A sent message in flight. A `sendMessage`'s lives on the sender's stack:
/// the sender does not return before `done`. `result` and `done` are guarded
/// by the sender's queue lock; the sender waits on its own queue for `done`.
/// A `sendDeferred`'s belongs to its `DeferredSend` and has `sink` instead of
/// `sender`: its `result` is handed to the sink, which tells whoever waits.
struct SentMessage {
    Message message;
    std::shared_ptr<ThreadQueue> sender;
    LRESULT result = 0;
    bool done = false;
    DeferredSend* deferred = nullptr;
    std::shared_ptr<AnswerSink> sink;
};

/// The posted messages, the sent messages waiting to be served and the quit
/// request of one thread. Only the owning thread takes messages out and
/// sleeps on the queue; any thread may put messages in. Everything below is
/// guarded by `mutex`.
class ThreadQueue {
public:
    /// The calling thread's queue, made on first use. When the thread ends the
    /// queue stops taking messages and answers the sends it still holds with 0.
    static std::shared_ptr<ThreadQueue> current();

    ThreadQueue() : owner(std::this_thread::get_id()) {}

    bool isOwnedByCallingThread() const { return owner == std::this_thread::get_id(); }

    /// False when the owning thread has ended.
    bool post(const Message& message);
    /// Queues a send for the owner to serve; false when the owning thread has
    /// ended. `sent` must stay alive until it is completed.
    bool deliver(SentMessage& sent);
    /// The same without waking the owner: `wakeForDeferred` does that later,
    /// once for any number of sends.
    bool deliverDeferred(SentMessage& sent);
    /// Wakes the owner when sends wait to be served.
    void wakeForDeferred();
    /// Marks `sent` answered with `result` and wakes its sender, or hands the
    /// answer to its sink (to be told by `tellAnswersDelivered`). `sent` may
    /// be gone as soon as its sender or sink has the answer. On the owning
    /// thread.
    void complete(SentMessage& sent, LRESULT result);
    /// Runs the window procedure for `sent` on the calling (owning) thread and
    /// completes it.
    void serve(SentMessage& sent);
    /// Tells the sinks that answers were handed to since the last call that
    /// they are all delivered. On the owning thread, without `mutex` held.
    void tellAnswersDelivered();
    /// True when sinks have answers the owner has not told them of.
    bool hasUntoldAnswers() const { return !answeredSinks.empty(); }

    /// The thread is ending.
    void shutdown();

    /// Call with `mutex` held after changing anything the owner may be waiting
    /// for. True when the owner sleeps and must be woken by `wake` (after the
    /// lock is released; one waker is enough); an owner that is awake looks
    /// again before it sleeps, under the same lock.
    bool noteChange()
    {
        const bool asleep = sleeping;
        sleeping = false;
        return asleep;
    }
    void wake() { wakeups.wake(); }
    /// The owner's sleep until someone notes a change or `deadline` passes;
    /// called and returns with `lock` held on `mutex`. False when the deadline
    /// passed.
    bool sleep(std::unique_lock<std::mutex>& lock,
               std::optional<std::chrono::steady_clock::time_point> deadline)
    {
        sleeping = true;
        const std::uint32_t seen = wakeups.value();
        lock.unlock();
        const bool woken = wakeups.sleep(seen, deadline);
        lock.lock();
        sleeping = false;
        return woken;
    }
    /// Call with `mutex` held after queueing a message or the quit request:
    /// makes the queue's descriptor readable, when one was asked for.
    void notePending()
    {
        if (descriptor)
            descriptor->signal();
    }
    /// Call with `mutex` held: clears the descriptor when nothing is pending.
    void clearDescriptorIfIdle()
    {
        if (descriptor && posted.empty() && sent.empty() && !quitRequested)
            descriptor->reset();
    }

    std::mutex mutex;
    std::deque<Message> posted;
    std::deque<SentMessage*> sent;
    bool quitRequested = false;
    int quitCode = 0;
    /// The owner sleeps on `wakeups` and nobody has woken it yet.
    bool sleeping = false;
    /// Readable while messages or the quit request are pending; made on the
    /// owner's first request (see `messageQueueDescriptor`).
    std::unique_ptr<WakeupDescriptor> descriptor;

private:
    WakeWord wakeups;
    /// The sinks `serve` handed answers to; the owning thread's alone.
    std::vector<std::shared_ptr<AnswerSink>> answeredSinks;
    const std::thread::id owner;
    bool alive = true;
};

} // namespace platform::detail
