#pragma once

#include "platform/WindowTypes.h"

#include <functional>
#include <memory>

namespace http {

class OngoingAnswer;
class Response;

/// What a request handler may do with the connection its request came on:
/// put the answer off until a window's thread (the player's) has answered a
/// message, or keep an answer going, without holding a serving thread
/// meanwhile.
class LaterAnswering {
public:
    /// What finishes an answer from the window's answer to the message.
    using Finish = std::function<void(platform::LRESULT result, Response& response)>;

    /// For the handler, as the last thing it does, having sent nothing: the
    /// answer needs the answer of `message.hwnd`'s thread to `message`. The
    /// message goes there without waiting, and once that thread has
    /// answered, `finish` completes the answer on a serving thread (with 0
    /// at once, as `sendMessage` answers, when the window is not there).
    /// The next request of the connection is read only after that. On the
    /// serving thread that handles the request.
    virtual void answerLater(const platform::Message& message, Finish finish) = 0;

    /// Wakes a connection whose answer goes on. Any thread; harmless once
    /// the connection has ended, as long as its server lives.
    using Wake = std::function<void()>;
    /// For the handler, as the last thing it does, having sent the head of
    /// an answer without a length (its body ends when the connection ends):
    /// the connection reads no further request and stays open, holding no
    /// thread, counted as idle but never ended for idleness. Each time the
    /// returned `Wake` is called it sends what `answer` has due. It ends
    /// when the peer closes, a send fails or stalls past the server's limit,
    /// or the server stops. On the serving thread that handles the request.
    virtual Wake keepAnswering(std::unique_ptr<OngoingAnswer> answer) = 0;

protected:
    ~LaterAnswering() = default;
};

} // namespace http
