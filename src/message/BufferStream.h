#pragma once

#include "message/Stream.h"

#include <cstddef>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace http {

/// An in-memory `Stream` for tests and fuzzing. The peer's side is scripted as
/// a queue of events: data chunks (each delivered by one `receive`, split only
/// when the caller's buffer is smaller), receive errors and silences. When the
/// queue is empty the peer has closed (`receive` gives 0). Everything sent is
/// recorded, one entry per write; `send2` is one gathered write.
/// Time is simulated: a silence passes no real time, but fails the receive
/// that meets it when it outlasts the deadline last set. One thread only.
class BufferStream : public Stream {
public:
    BufferStream() = default;
    /// Input given as chunks, one per `receive`.
    explicit BufferStream(std::vector<std::string> chunks);

    /// Queues a chunk of input.
    void addInput(std::string chunk);
    /// Queues a failing receive (-1), as from a reset connection.
    void addReceiveError();
    /// Queues a silence of the peer lasting `wait`: a receive that meets it
    /// fails when the silences since the last `setReceiveDeadline` add up to
    /// more than that deadline allowed; otherwise the receive goes on.
    void addSilence(Clock::duration wait);

    /// After `bytes` bytes in total have been written, the connection breaks:
    /// a write (or a part of `send2`) that does not fit whole fails with -1 and
    /// records nothing.
    void breakAfter(std::size_t bytes) { sendLimit = bytes; }

    long receive(char* buffer, std::size_t size) override;
    void unreceive(std::string_view bytes) override;
    long send(std::string_view data) override;
    std::pair<long, long> send2(std::string_view head, std::string_view body) override;
    void setReceiveDeadline(std::optional<Clock::time_point> deadline) override;

    /// Every byte written, in order.
    std::string sent() const;
    /// One entry per successful write (`send`, or `send2` with what of it succeeded).
    const std::vector<std::string>& writes() const { return written; }
    /// Calls of `receive` so far.
    int receiveCount() const { return receives; }
    /// Input not yet received (the data chunks still queued), concatenated.
    std::string unreadInput() const;
    /// What each `setReceiveDeadline` allowed from the moment it was called
    /// (none when it cleared the deadline), in call order.
    const std::vector<std::optional<Clock::duration>>& deadlines() const { return deadlineLog; }

private:
    struct Event {
        enum Kind { data, error, silence } kind;
        std::string bytes;
        Clock::duration wait{};
    };

    bool fits(std::size_t size) const;

    std::deque<Event> input;
    std::vector<std::string> written;
    std::size_t sentBytes = 0;
    std::size_t sendLimit = std::numeric_limits<std::size_t>::max();
    int receives = 0;
    std::optional<Clock::duration> allowed;   // of the deadline in force
    Clock::duration silentFor{};              // silences met since it was set
    std::vector<std::optional<Clock::duration>> deadlineLog;
};

} // namespace http
