#include "platform/Event.h"

namespace platform {

void Event::set()
{
    {
        std::lock_guard guard(mutex);
        signalled = true;
    }
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

} // namespace platform
