#pragma once

#include "threading/ICallback.h"

#include <mutex>
#include <vector>

namespace threading {

/// A thread-safe list of observers, in insertion order, duplicates allowed.
/// The lock is never held while observers run, so an observer may add or
/// remove observers (changes count from the next `invoke`) or destroy the
/// object that owns this delegate. The callbacks are not owned.
class Delegate {
public:
    Delegate() = default;
    Delegate(const Delegate&) = delete;
    Delegate& operator=(const Delegate&) = delete;
    // Not virtual: nothing derives from Delegate to be deleted through it.
    ~Delegate() = default;

    /// Calls every observer of a snapshot of the list with `argument`; returns 0.
    virtual std::intptr_t invoke(CallbackArgument argument);
    /// Appends; a callback already present is then called twice.
    virtual void add(ICallback* callback);
    /// Removes the first entry equal to `callback`, if any.
    virtual void remove(ICallback* callback);
    virtual void clear();

    std::size_t size() const;

private:
    std::vector<ICallback*> callbacks;
    mutable std::recursive_mutex lock;
};

} // namespace threading
