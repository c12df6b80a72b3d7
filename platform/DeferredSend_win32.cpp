// Deferred sends on Windows: handed to the owning thread's relay (see
// win32/ThreadQueue.h), which the flush wakes with one sent message.
#include "platform/DeferredSend.h"

#include "platform/win32/ThreadQueue.h"

#include <algorithm>

namespace platform {

using detail::SentMessage;
using detail::ThreadQueue;

DeferredSend::DeferredSend(std::uint64_t tag) : sent(std::make_unique<SentMessage>()), tagValue(tag)
{
    sent->deferred = this;
}

DeferredSend::~DeferredSend() = default;

LRESULT DeferredSend::result() const
{
    return sent->result;
}

SendBatch::SendBatch() = default;
SendBatch::~SendBatch() = default;

void SendBatch::add(std::shared_ptr<ThreadQueue> owner)
{
    std::lock_guard guard(lock);
    if (std::find(owners.begin(), owners.end(), owner) == owners.end())
        owners.push_back(std::move(owner));
}

void SendBatch::flush()
{
    std::vector<std::shared_ptr<ThreadQueue>> woken;
    {
        std::lock_guard guard(lock);
        woken.swap(owners);
    }
    for (const auto& owner : woken)
        owner->wakeForDeferred();
}

bool sendDeferred(DeferredSend& send, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  std::shared_ptr<AnswerSink> sink, SendBatch& batch)
{
    auto window = reinterpret_cast<::HWND>(hwnd);
    if (!sink || !IsWindow(window))
        return false;
    // A thread that never used this layer has no relay to take the send.
    auto owner = ThreadQueue::ofWindow(window);
    if (!owner)
        return false;
    SentMessage& sent = *send.sent;
    sent.message = Message{hwnd, message, wParam, lParam};
    sent.sink = std::move(sink);
    if (owner->isOwnedByCallingThread()) {
        owner->serve(sent);
        owner->tellAnswersDelivered();
        return true;
    }
    if (!owner->deliverDeferred(sent)) {
        sent.sink.reset();
        return false;  // the owning thread has ended
    }
    batch.add(std::move(owner));
    return true;
}

} // namespace platform
