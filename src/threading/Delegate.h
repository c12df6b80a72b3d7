#pragma once

#include "threading/ICallback.h"

#include <mutex>
#include <vector>

namespace threading {

/// A thread-safe list of observers, in insertion order, duplicates allowed.
/// The lock is never held while observers run, so an observer may add or
/// remove observers (changes count from the next `invoke`) or destroy the
/// object that owns this delegate. The callbacks are not owned.
/// Final, with no virtual member: nothing can derive from it, so nothing is
/// ever deleted through a base that lacks a virtual destructor.
class Delegate final {
public:
    Delegate() = default;
    Delegate(const Delegate&) = delete;
    Delegate& operator=(const Delegate&) = delete;

    /// Calls every observer of a snapshot of the list with `argument`; returns 0.
    std::intptr_t invoke(CallbackArgument argument);
    /// Appends; a callback already present is then called twice.
    void add(ICallback* callback);
    /// Removes the first entry equal to `callback`, if any.
    void remove(ICallback* callback);
    void clear();

    std::size_t size() const;

private:
    std::vector<ICallback*> callbacks;
    mutable std::recursive_mutex lock;
};

} // namespace threading
