#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace http {

/// A byte stream in both directions: a connected socket, or an in-memory
/// buffer in tests. Owned by whoever made it; messages only borrow it.
class Stream {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~Stream() = default;

    /// Receives up to `size` bytes into `buffer`: the count received, 0 when the
    /// peer has closed its side, -1 on failure (including a passed deadline).
    virtual long receive(char* buffer, std::size_t size) = 0;
    /// Sends all of `data` (in one call to the system where it can): the count
    /// sent, or -1 on failure.
    virtual long send(std::string_view data) = 0;
    /// Sends `head` then `body` as one gathered write where the stream can, so a
    /// small answer never waits for a delayed acknowledgement between them.
    /// Returns the count sent of each; -1 for a part that failed.
    virtual std::pair<long, long> send2(std::string_view head, std::string_view body)
    {
        long first = send(head);
        long second = first < 0 ? -1 : send(body);
        return {first, second};
    }
    /// Gives back bytes received past the end of a message (a pipelined next
    /// request): the following receives return them first, without waiting.
    virtual void unreceive(std::string_view bytes) = 0;
    /// Sends `length` bytes of the open file `file` from byte `offset` on (the
    /// file's own offset is not used): the count sent, which falls short when
    /// the file ended early or a send failed. This one reads and sends blocks
    /// of 64 KiB; a socket passes the file to the system whole.
    virtual std::uint64_t sendFile(int file, std::uint64_t offset, std::uint64_t length);
    /// From now on a `receive` that would wait past `deadline` fails; none
    /// means wait without limit.
    virtual void setReceiveDeadline(std::optional<Clock::time_point> deadline) { (void)deadline; }
};

} // namespace http
