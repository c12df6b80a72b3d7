#pragma once

#include "platform/WindowTypes.h"

#include <functional>

namespace http {

class Response;

/// What a request handler may do with the connection its request came on:
/// put the answer off until a window's thread (the player's) has answered a
/// message, without holding a serving thread meanwhile.
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

protected:
    ~LaterAnswering() = default;
};

} // namespace http
