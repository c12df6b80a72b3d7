#pragma once

#include "threading/ICallback.h"

namespace threading {

/// Binds an observer to a member function of its receiver. A plain member of
/// the receiver (never heap-allocated on its own); the receiver must remove it
/// from every delegate before it is destroyed.
template <typename T>
class Callback final : public ICallback {
public:
    using Method = std::intptr_t (T::*)(CallbackArgument);

    Callback(T* object, Method method) : object(object), method(method) {}

    std::intptr_t invoke(CallbackArgument argument) override { return (object->*method)(argument); }

private:
    T* object;     // not owned
    Method method;
};

} // namespace threading
