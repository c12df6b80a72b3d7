#pragma once

#include <string>

namespace http {

/// An answer that goes on after its head for as long as the connection lives
/// (an event stream): the connection asks it for what is due each time it is
/// woken (see `LaterAnswering::keepAnswering`). Owned by the connection and
/// destroyed with it, on a serving thread.
class OngoingAnswer {
public:
    virtual ~OngoingAnswer() = default;
    /// The bytes to send now; empty when nothing is due. On a serving thread,
    /// one at a time.
    virtual std::string due() = 0;
};

} // namespace http
