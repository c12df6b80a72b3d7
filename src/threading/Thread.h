#pragma once

#include "platform/Event.h"
#include "threading/Delegate.h"
#include "threading/ThreadHandle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace threading {

/// Abstract base of every thread object. `start()` runs `run()` on a new,
/// detached operating-system thread, which tells `onStarted` (argument 0)
/// before the body and `onFinished` (argument `exitArgument`) after it.
///
/// The destructor neither stops nor waits: an owner calls `stop()` and waits on
/// `threadHandle()` (or an event of its own) before destroying the object. An
/// `onFinished` observer may delete the object; the thread touches it no more.
/// `start()` must not be called for one object from two threads at once.
class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread() = default;

    /// Asks the running body to end soon; true when the request was passed on.
    virtual bool stop() = 0;
    /// The body; its result is not read.
    virtual int run() = 0;

    /// False at once while running; false when no thread could be created.
    bool start();

    /// Non-zero exactly while a thread started by this object has not left `run`.
    std::uint32_t threadId() const { return id.load(); }
    /// The running or last-run thread; null before the first `start()`.
    std::shared_ptr<ThreadHandle> threadHandle() const;

    /// Reset by `start()`, set by the new thread before `onStarted` and `run`.
    platform::Event startedEvent;
    Delegate onStarted;
    Delegate onFinished;

protected:
    /// What `onFinished` passes to its observers (initially 0).
    void setExitArgument(CallbackArgument argument) { exitArgument.store(argument); }

private:
    static void entry(Thread* self, std::shared_ptr<ThreadHandle> handle);

    std::atomic<CallbackArgument> exitArgument{0};
    std::atomic<std::uint32_t> id{0};
    mutable std::mutex handleLock;
    std::shared_ptr<ThreadHandle> handle;
};

} // namespace threading
