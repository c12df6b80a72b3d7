#pragma once

#include "message/Stream.h"

#include "platform/UniqueFd.h"

#include <atomic>
#include <deque>
#include <optional>
#include <string>

namespace http {

/// `Stream` over a connected socket, which it borrows (the connection owns
/// and closes it). Used by one thread at a time, except `hasFailedToSend`,
/// `idleSince` and `unsentSince`, which any thread may read.
///
/// A stream made to `keep` what a full socket buffer cannot take never waits
/// to send: the sends take all they are given, and what did not fit waits in
/// the stream (bytes copied, a file by a duplicate of its descriptor, in
/// order) until `sendUnsent` gets it out. A send that comes while something
/// waits joins the queue.
class SocketStream final : public Stream {
public:
    enum class FullBuffer { wait, keep };
    explicit SocketStream(int socket, FullBuffer full = FullBuffer::wait) : socket(socket), full(full) {}

    /// Waits at most until the deadline set last; a deadline that passes makes
    /// it fail (-1) with `hasTimedOut()` true.
    long receive(char* buffer, std::size_t size) override;
    void unreceive(std::string_view bytes) override { given.insert(0, bytes); }
    /// Loops until all is sent (or kept); never raises SIGPIPE.
    long send(std::string_view data) override;
    /// Head and body leave in one gathered write.
    std::pair<long, long> send2(std::string_view head, std::string_view body) override;
    /// sendfile(2), without raising SIGPIPE. Fewer bytes than `length` (the
    /// file ended early, now or while what is kept of it goes out) count as
    /// a failed send: the framing is lost.
    std::uint64_t sendFile(int file, std::uint64_t offset, std::uint64_t length) override;

    /// True while something sent waits in the stream for room in the socket.
    bool hasUnsent() const { return !unsent.empty(); }
    enum class Flush { done, blocked, failed };
    /// Sends what waits, never waiting: `blocked` when the socket's buffer
    /// is full again, `failed` when the socket failed or a file ended early
    /// (`hasFailedToSend` then tells it too).
    Flush sendUnsent();
    /// Since when what waits has not moved; none while nothing waits.
    std::optional<Clock::time_point> unsentSince() const;
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
    /// True once `takeArrived` met the peer's end or a failure.
    bool hasMetEnd() const { return endMet; }
    /// Forgets what `takeArrived` and `unreceive` left here.
    void dropReceived() { given.clear(); }
    /// True when what waits here holds a request's whole head (up to its
    /// blank line), or never will: the peer's end or a failure was met, or
    /// `limit` bytes are here.
    bool holdsWholeHead(std::size_t limit) const;
    /// A request has begun to arrive without its whole head: `partialSince`
    /// tells since when (the first call) until `clearPartial`.
    void markPartial();
    void clearPartial() { partialTicks.store(0, std::memory_order_relaxed); }
    std::optional<Clock::time_point> partialSince() const;
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
    /// A part of what waits: bytes (from `done` on), or `left` bytes of a file
    /// from `offset` on.
    struct Unsent {
        std::string bytes;
        std::size_t done = 0;
        platform::UniqueFd file;
        std::uint64_t offset = 0;
        std::uint64_t left = 0;
    };

    /// Queues `first` and `second` behind what waits.
    void keep(std::string_view first, std::string_view second = {});
    /// Sends what waits, waiting for room as long as the socket lets it.
    bool sendUnsentWaiting();
    /// Something went out, or began to wait: the stall is measured from now.
    void noteProgress();

    int socket;  // borrowed
    FullBuffer full;
    std::deque<Unsent> unsent;
    std::atomic<Clock::rep> unsentTicks{0};  // 0: nothing waits
    std::atomic<Clock::rep> partialTicks{0};  // 0: no head on its way
    std::string given;  // given back by `unreceive` or taken by `takeArrived`, returned first
    bool mayHoldMore = true;  // the last read from the socket did not find it empty
    bool endMet = false;      // `takeArrived` met the peer's end or a failure
    std::optional<Clock::time_point> receiveDeadline;
    bool timedOut = false;
    std::atomic<bool> sendFailed{false};
    std::atomic<Clock::rep> idleTicks{0};  // 0: not idle
};

} // namespace http
