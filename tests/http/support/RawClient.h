#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace testing_support {

/// A hand-driven HTTP client on 127.0.0.1 for listener tests: sends raw text
/// and reads answers framed by their head and Content-Length.
class RawClient {
public:
    struct Answer {
        int status = 0;          // 0 when no complete head arrived
        std::string head;        // status line and headers, without the blank line
        std::string body;
        /// The value of header `name`, if sent.
        std::optional<std::string> header(std::string_view name) const;
    };

    /// How a connection ended while waiting for it to.
    enum class End { closed, reset, stillOpen };

    explicit RawClient(std::uint16_t port);
    /// A client on loopback address `source` (e.g. "127.0.0.2") whose receive
    /// buffer is `receiveBuffer` bytes: with little read, a large answer soon
    /// fills the server's side.
    RawClient(std::uint16_t port, const char* source, int receiveBuffer);

    bool isConnected() const { return socket.isValid(); }
    bool send(std::string_view text);
    /// One answer; status 0 when the connection ended or `timeout` passed first.
    Answer readAnswer(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// The status and head of an answer, its body left unread; status 0 as
    /// for `readAnswer`.
    Answer readHead(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// Reads until the server ends the connection or `timeout` passes; what
    /// arrived meanwhile goes to `received`.
    End waitForEnd(std::string& received, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    /// What arrives up to and including the next `marker` (an event of a
    /// stream); empty when the connection ended or `timeout` passed first.
    std::string readThrough(std::string_view marker, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void shutdownSending();
    void close() { socket.reset(); }
    /// The client's own port, as the server sees it.
    std::uint16_t localPort() const;
    /// The socket, for a caller that reads it itself from now on.
    int descriptor() const { return socket.get(); }
    /// What was received but not yet handed out (the start of a body read
    /// with its head), taken.
    std::string takePending() { return std::exchange(pending, {}); }

private:
    /// -1 on reset, 0 on close, -2 on time-out, else the count appended.
    long receiveMore(std::chrono::steady_clock::time_point deadline);
    /// Receives until a whole head is pending: an answer with that head and
    /// its status, and where the head ends (npos when the connection ended
    /// or the deadline passed first; nothing is taken from `pending`).
    std::pair<Answer, std::size_t> pendingHead(std::chrono::steady_clock::time_point deadline);

    platform::UniqueFd socket;
    std::string pending;  // received but not yet handed out
};

} // namespace testing_support
