#pragma once

#include <cstdint>

namespace threading {

/// The one pointer-sized value a delegate passes to its observers: 0 when a
/// thread has started, the finished `Thread` when it has finished, a pointer to
/// the activity list for the listener's activity report.
using CallbackArgument = std::intptr_t;

/// An observer held by a `Delegate`.
class ICallback {
public:
    virtual ~ICallback() = default;
    virtual std::intptr_t invoke(CallbackArgument argument) = 0;
};

} // namespace threading
