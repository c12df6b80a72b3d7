#pragma once

#include "http/Stream.h"

#include <atomic>
#include <optional>
#include <string>

namespace http {

/// `Stream` over a connected socket, which it borrows (the connection owns
/// and closes it). Used by one thread at a time, except `hasFailedToSend`
/// and `idleSince`, which any thread may read.
class SocketStream final : public Stream {
public:
    explicit SocketStream(int socket) : socket(socket) {}

    /// Waits at most until the deadline set last; a deadline that passes makes
    /// it fail (-1) with `hasTimedOut()` true.
    long receive(char* buffer, std::size_t size) override;
    void unreceive(std::string_view bytes) override { given.insert(0, bytes); }
    /// Loops until all is sent; never raises SIGPIPE.
    long send(std::string_view data) override;
    /// Head and body leave in one gathered write.
    std::pair<long, long> send2(std::string_view head, std::string_view body) override;
    /// sendfile(2), without raising SIGPIPE. Fewer bytes than `length` (the
    /// file ended early) count as a failed send: the framing is lost.
    std::uint64_t sendFile(int file, std::uint64_t offset, std::uint64_t length) override;
    void setReceiveDeadline(std::optional<Clock::time_point> deadline) override { receiveDeadline = deadline; }

    int descriptor() const { return socket; }
    /// True while bytes of a next request, read with the last one, wait here.
    bool hasBuffered() const { return !given.empty(); }
    /// Input has arrived since the socket was last found empty: the next
    /// `takeArrived` looks.
    void expectArrivals() { mayHoldMore = true; }
    /// Takes what has arrived on the socket into the bytes `receive` returns
    /// first, unless the last read from the socket found it empty (then
    /// nothing can have come since that was not reported anew). Never waits.
    /// True when there is something to read, the peer's end or a failure
    /// included.
    bool takeArrived();
    /// True once a receive has failed because its deadline passed.
    bool hasTimedOut() const { return timedOut; }
    /// True once any send has failed, or a file's body fell short of its
    /// length: the peer cannot hear further answers.
    bool hasFailedToSend() const { return sendFailed.load(); }

    /// The connection waits for its next request from now on: `idleSince`
    /// tells this time until a receive brings a byte or `markBusy` is called.
    void markIdle();
    void markBusy() { idleTicks.store(0, std::memory_order_relaxed); }
    /// When the wait for the next request began; none while a request is
    /// being received or handled.
    std::optional<Clock::time_point> idleSince() const;

private:
    int socket;  // borrowed
    std::string given;  // given back by `unreceive` or taken by `takeArrived`, returned first
    bool mayHoldMore = true;  // the last read from the socket did not find it empty
    std::optional<Clock::time_point> receiveDeadline;
    bool timedOut = false;
    std::atomic<bool> sendFailed{false};
    std::atomic<Clock::rep> idleTicks{0};  // 0: not idle
};

} // namespace http
