#include "platform/ThreadQueue.h"

#include "platform/DeferredSend.h"
#include "platform/WindowRegistry.h"

#include <algorithm>

namespace platform::detail {

namespace {

// Shuts the queue down when its thread ends, so that senders waiting on a
// thread that is gone get their answer instead of hanging.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue = std::make_shared<ThreadQueue>();
    ~QueueHolder() { queue->shutdown(); }
};

} // namespace

std::shared_ptr<ThreadQueue> ThreadQueue::current()
{
    thread_local QueueHolder holder;
    return holder.queue;
}

bool ThreadQueue::post(const Message& message)
{
    bool asleep;
    {
        std::lock_guard guard(mutex);
        if (!alive)
            return false;
        posted.push_back(message);
        notePending();
        asleep = noteChange();
    }
    if (asleep)
        wake();
    return true;
}

bool ThreadQueue::deliver(SentMessage& message)
{
    bool asleep;
    {
        std::lock_guard guard(mutex);
        if (!alive)
            return false;
        sent.push_back(&message);
        notePending();
        asleep = noteChange();
    }
    if (asleep)
        wake();
    return true;
}

bool ThreadQueue::deliverDeferred(SentMessage& message)
{
    std::lock_guard guard(mutex);
    if (!alive)
        return false;
    sent.push_back(&message);
    return true;
}

void ThreadQueue::wakeForDeferred()
{
    bool asleep = false;
    {
        std::lock_guard guard(mutex);
        if (sent.empty())
            return;  // served meanwhile by an owner that was awake
        notePending();
        asleep = noteChange();
    }
    if (asleep)
        wake();
}

void ThreadQueue::complete(SentMessage& message, LRESULT result)
{
    if (message.sink) {
        // Ours: once told, the sink's owner may reuse or destroy `message`.
        std::shared_ptr<AnswerSink> sink = std::move(message.sink);
        message.result = result;
        sink->answered(*message.deferred);
        if (std::find(answeredSinks.begin(), answeredSinks.end(), sink) == answeredSinks.end())
            answeredSinks.push_back(std::move(sink));
        return;
    }
    // Our own reference: once `done` is set the sender may return, and its
    // thread may end, taking `message` and its last reference to the queue.
    std::shared_ptr<ThreadQueue> sender = message.sender;
    bool asleep;
    {
        std::lock_guard guard(sender->mutex);
        message.result = result;
        message.done = true;
        asleep = sender->noteChange();
    }
    if (asleep)
        sender->wake();
}

void ThreadQueue::serve(SentMessage& message)
{
    LRESULT result = 0;
    // The window may have gone while the message waited: then it answers 0.
    if (auto window = findWindow(message.message.hwnd)) {
        const Message& m = message.message;
        result = window->proc.load()(m.hwnd, m.message, m.wParam, m.lParam);
    }
    complete(message, result);
}

void ThreadQueue::tellAnswersDelivered()
{
    std::vector<std::shared_ptr<AnswerSink>> sinks;
    sinks.swap(answeredSinks);
    for (const auto& sink : sinks)
        sink->answersDelivered();
}

void ThreadQueue::shutdown()
{
    std::deque<SentMessage*> unanswered;
    {
        std::lock_guard guard(mutex);
        alive = false;
        unanswered.swap(sent);
        posted.clear();
        descriptor.reset();
    }
    // Answered outside our own lock: completing takes the sender's.
    for (SentMessage* message : unanswered)
        complete(*message, 0);
    tellAnswersDelivered();
}

} // namespace platform::detail
