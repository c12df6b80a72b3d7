#pragma once

#include "platform/WindowTypes.h"

#include <windows.h>

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {
class AnswerSink;
class DeferredSend;
}

// Internal to the Windows window layer. The system queues the messages; what
// it lacks is a send that does not wait but still hands its answer to
// someone. Each thread that owns windows gets a relay: a message-only window
// of its own, through which other threads hand it deferred sends. The relay
// serves them on the owning thread, in order, and tells their sinks.
namespace platform::detail {

/// A deferred send in flight; belongs to its DeferredSend.
struct SentMessage {
    Message message;
    LRESULT result = 0;
    DeferredSend* deferred = nullptr;
    std::shared_ptr<AnswerSink> sink;
};

/// The deferred sends waiting for one thread, and its relay window.
class ThreadQueue {
public:
    /// The calling thread's queue, made with its relay on first use; null when
    /// the relay cannot be made. When the thread ends the queue stops taking
    /// sends and answers those it still holds with 0.
    static std::shared_ptr<ThreadQueue> current();
    /// The queue of the thread that owns `window`; null when that thread has
    /// none (it never used this layer, or it has ended).
    static std::shared_ptr<ThreadQueue> ofWindow(::HWND window);

    ThreadQueue(DWORD thread, ::HWND relay) : thread(thread), relay(relay) {}

    bool isOwnedByCallingThread() const { return thread == GetCurrentThreadId(); }

    /// Queues `sent` without waking the owner; false when the thread has ended.
    bool deliverDeferred(SentMessage& sent);
    /// Wakes the owner when deferred sends wait and no wake is on its way.
    void wakeForDeferred();
    /// Runs the window procedure for `sent` on the calling (owning) thread and
    /// hands the answer to its sink.
    void serve(SentMessage& sent);
    /// Serves every queued send, then tells their sinks. On the owning thread.
    void drain();
    /// Tells the sinks answers were handed to that they are all delivered.
    void tellAnswersDelivered();
    /// Asks the owning thread to destroy `window` and waits for it.
    bool destroyOnOwner(::HWND window);

    /// The thread is ending: no more sends; those held are answered 0.
    void shutdown();

private:
    const DWORD thread;
    const ::HWND relay;
    std::mutex mutex;
    std::deque<SentMessage*> deferred;  // under `mutex`
    bool alive = true;                  // under `mutex`
    bool wakeSent = false;              // under `mutex`
    /// The sinks `serve` handed answers to; the owning thread's alone.
    std::vector<std::shared_ptr<AnswerSink>> answeredSinks;
};

} // namespace platform::detail
