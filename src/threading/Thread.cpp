#include "threading/Thread.h"

#include <system_error>
#include <thread>

namespace threading {

namespace {

std::uint32_t nextThreadId()
{
    static std::atomic<std::uint32_t> counter{0};
    std::uint32_t value;
    do
        value = ++counter;
    while (value == 0);
    return value;
}

} // namespace

bool Thread::start()
{
    if (id.load() != 0)
        return false;
    startedEvent.reset();
    auto newHandle = std::make_shared<ThreadHandle>();
    // The id is in place before the new thread can run, as its creator sees it.
    std::uint32_t newId = nextThreadId();
    id.store(newId);
    {
        std::lock_guard guard(handleLock);
        handle = newHandle;
    }
    try {
        std::thread(&Thread::entry, this, newHandle).detach();
    } catch (const std::system_error&) {
        id.store(0);
        newHandle->markFinished();
        return false;
    }
    return true;
}

std::shared_ptr<ThreadHandle> Thread::threadHandle() const
{
    std::lock_guard guard(handleLock);
    return handle;
}

void Thread::entry(Thread* self, std::shared_ptr<ThreadHandle> handle)
{
    self->startedEvent.set();
    self->onStarted.invoke(0);
    self->run();
    CallbackArgument argument = self->exitArgument.load();
    self->id.store(0);
    self->onFinished.invoke(argument);
    // `self` may have been deleted by an observer: only the handle remains.
    handle->markFinished();
}

} // namespace threading
