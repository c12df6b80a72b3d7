#include "platform/Event.h"

namespace platform {

void Event::set()
{
    std::lock_guard guard(mutex);
    signalled = true;
    // Under the lock, so that a waker cannot be removed (and its owner gone)
    // between this look at the list and the call.
    for (Waker* waker : wakers)
        waker->wake();
    // Also under the lock: a waiter may destroy the event as soon as it sees
    // it set, which must not happen while this call still uses it.
    changed.notify_all();
}

void Event::reset()
{
    std::lock_guard guard(mutex);
    signalled = false;
}

bool Event::isSet() const
{
    std::lock_guard guard(mutex);
    return signalled;
}

void Event::wait() const
{
    std::unique_lock guard(mutex);
    changed.wait(guard, [this] { return signalled; });
}

bool Event::waitFor(std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(mutex);
    return changed.wait_for(guard, timeout, [this] { return signalled; });
}

bool Event::addWaker(Waker& waker) const
{
    std::lock_guard guard(mutex);
    if (signalled)
        return true;
    wakers.push_back(&waker);
    return false;
}

void Event::removeWaker(Waker& waker) const
{
    std::lock_guard guard(mutex);
    std::erase(wakers, &waker);
}

} // namespace platform
