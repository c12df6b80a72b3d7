#include "platform/DeferredSend.h"

#include "platform/ThreadQueue.h"
#include "platform/WindowRegistry.h"

#include <algorithm>

namespace platform {

using detail::findWindow;
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
        if (owners.empty())
            return;
        woken.swap(owners);
    }
    for (const auto& owner : woken)
        owner->wakeForDeferred();
}

bool sendDeferred(DeferredSend& send, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  std::shared_ptr<AnswerSink> sink, SendBatch& batch)
{
    auto window = findWindow(hwnd);
    if (!window || !sink)
        return false;
    SentMessage& sent = *send.sent;
    sent.message = Message{hwnd, message, wParam, lParam};
    sent.sink = std::move(sink);
    if (window->owner->isOwnedByCallingThread()) {
        window->owner->serve(sent);
        window->owner->tellAnswersDelivered();
        return true;
    }
    if (!window->owner->deliverDeferred(sent)) {
        sent.sink.reset();
        return false;  // the owning thread has ended
    }
    batch.add(window->owner);
    return true;
}

} // namespace platform
