#pragma once

#include "platform/WindowTypes.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Sends that do not wait for their answer: a thread that serves many clients
// hands messages to a window's thread, goes on with other work, and hears of
// the answers later, many at once. Both ends batch: the receiving thread is
// woken once for the messages handed over since the last `SendBatch::flush`,
// and tells the sender once when it has served them all, so a batch costs one
// switch to the receiving thread and one back instead of two per message.
namespace platform {

namespace detail {
struct SentMessage;
class ThreadQueue;
} // namespace detail

class DeferredSend;
class SendBatch;

/// Receives the answers of deferred sends. Its calls come on the thread that
/// owns the windows sent to.
class AnswerSink {
public:
    /// Right after the window procedure answered `send` (its `result()` is
    /// set; 0 when the window had gone or its thread ended). Must not block:
    /// note the answer and return. `send` may be reused or destroyed as soon
    /// as whoever waits for it learns of the answer.
    virtual void answered(DeferredSend& send) = 0;
    /// Once the owning thread has no sent message left to serve, after one or
    /// more `answered`: the time to wake whoever waits for the answers.
    virtual void answersDelivered() = 0;

protected:
    ~AnswerSink() = default;
};

/// One message sent without waiting; reusable once answered. Its `tag`
/// tells the sink whose it is.
class DeferredSend {
public:
    explicit DeferredSend(std::uint64_t tag = 0);
    ~DeferredSend();
    DeferredSend(const DeferredSend&) = delete;
    DeferredSend& operator=(const DeferredSend&) = delete;

    std::uint64_t tag() const { return tagValue; }
    /// The window procedure's answer; read it once the sink has it.
    LRESULT result() const;

private:
    friend bool sendDeferred(DeferredSend&, HWND, UINT, WPARAM, LPARAM, std::shared_ptr<AnswerSink>,
                             SendBatch&);
    std::unique_ptr<detail::SentMessage> sent;
    std::uint64_t tagValue;
};

/// The threads that deferred sends went to since the last `flush`. Any
/// thread may add to it and flush it.
class SendBatch {
public:
    SendBatch();
    ~SendBatch();
    SendBatch(const SendBatch&) = delete;
    SendBatch& operator=(const SendBatch&) = delete;

    /// Wakes each of them that has messages waiting and sleeps.
    void flush();

private:
    friend bool sendDeferred(DeferredSend&, HWND, UINT, WPARAM, LPARAM, std::shared_ptr<AnswerSink>,
                             SendBatch&);
    void add(std::shared_ptr<detail::ThreadQueue> owner);

    std::mutex lock;
    std::vector<std::shared_ptr<detail::ThreadQueue>> owners;  // under `lock`
};

/// As `sendMessage`, but the caller does not wait: the owning thread runs the
/// procedure when it serves sent messages, in order with every other message
/// sent to it, and hands the answer to `sink`. That thread is not woken here
/// but by `batch.flush()` (or by any other message that reaches it first):
/// flush before waiting for the answer. `send` must stay alive and unused
/// until answered. On the owning thread itself the procedure runs at once and
/// the sink hears of it before this returns. False, with nothing sent and no
/// answer to come, for an invalid window or a thread that has ended.
bool sendDeferred(DeferredSend& send, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                  std::shared_ptr<AnswerSink> sink, SendBatch& batch);

} // namespace platform
