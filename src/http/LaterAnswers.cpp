#include "http/LaterAnswers.h"

namespace http {

void LaterAnswers::answered(platform::DeferredSend& send)
{
    std::lock_guard guard(lock);
    arrived.push_back(send.tag());
}

void LaterAnswers::answersDelivered()
{
    // One signal for the whole batch: the dispatcher is woken once.
    std::lock_guard guard(lock);
    if (arrived.empty() || signalled)
        return;
    signalled = true;
    arrivedSignal.signal();
}

void LaterAnswers::arrive(std::uint64_t tag)
{
    std::lock_guard guard(lock);
    arrived.push_back(tag);
    if (signalled)
        return;
    signalled = true;
    arrivedSignal.signal();
}

std::vector<std::uint64_t> LaterAnswers::take()
{
    std::lock_guard guard(lock);
    if (signalled) {
        arrivedSignal.reset();
        signalled = false;
    }
    std::vector<std::uint64_t> taken;
    taken.swap(arrived);
    return taken;
}

} // namespace http
