#include "threading/Delegate.h"

#include <algorithm>

namespace threading {

std::intptr_t Delegate::invoke(CallbackArgument argument)
{
    std::vector<ICallback*> snapshot;
    {
        std::lock_guard guard(lock);
        snapshot = callbacks;
    }
    // `this` may be gone after any call below: touch only the snapshot.
    for (ICallback* callback : snapshot)
        callback->invoke(argument);
    return 0;
}

void Delegate::add(ICallback* callback)
{
    std::lock_guard guard(lock);
    callbacks.push_back(callback);
}

void Delegate::remove(ICallback* callback)
{
    std::lock_guard guard(lock);
    auto found = std::find(callbacks.begin(), callbacks.end(), callback);
    if (found != callbacks.end())
        callbacks.erase(found);
}

void Delegate::clear()
{
    std::lock_guard guard(lock);
    callbacks.clear();
}

std::size_t Delegate::size() const
{
    std::lock_guard guard(lock);
    return callbacks.size();
}

} // namespace threading
