#include "http/SocketStream.h"

#include "platform/FileSend.h"
#include "platform/Socket.h"

#include <algorithm>

namespace http {

long SocketStream::receive(char* buffer, std::size_t size)
{
    if (!given.empty()) {
        std::size_t count = std::min(size, given.size());
        given.copy(buffer, count);
        given.erase(0, count);
        markBusy();  // a request that arrived with the last one is being read
        return static_cast<long>(count);
    }
    long got = -2;
    // What has arrived is taken at once; only an empty socket is waited on.
    if (receiveDeadline && (got = platform::receiveAvailable(socket, buffer, size)) == -2) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(*receiveDeadline - Clock::now());
        // A passed deadline still looks once, so data already here is taken.
        int ready = platform::waitReadable({&socket, 1}, std::max(left, std::chrono::milliseconds(0)));
        if (ready == -1) {
            timedOut = true;
            return -1;
        }
        if (ready < 0)
            return -1;
    }
    if (got == -2)
        got = platform::receiveSome(socket, buffer, size);
    // A read that fills the buffer may have left more behind.
    mayHoldMore = got > 0 && static_cast<std::size_t>(got) == size;
    if (got > 0 && idleTicks.load(std::memory_order_relaxed) != 0)
        markBusy();
    return got;
}

bool SocketStream::takeArrived()
{
    if (!mayHoldMore)
        return false;
    char buffer[8192];
    const long got = platform::receiveAvailable(socket, buffer, sizeof buffer);
    mayHoldMore = got == static_cast<long>(sizeof buffer);
    if (got == -2)
        return false;
    // The peer's end or a failure is met again by the next `receive`.
    if (got > 0)
        given.append(buffer, static_cast<std::size_t>(got));
    return true;
}

void SocketStream::markIdle()
{
    // Never 0, which means "not idle".
    idleTicks.store(std::max<Clock::rep>(Clock::now().time_since_epoch().count(), 1), std::memory_order_relaxed);
}

std::optional<Stream::Clock::time_point> SocketStream::idleSince() const
{
    Clock::rep ticks = idleTicks.load(std::memory_order_relaxed);
    if (ticks == 0)
        return std::nullopt;
    return Clock::time_point(Clock::duration(ticks));
}

long SocketStream::send(std::string_view data)
{
    long sent = platform::sendAll(socket, data);
    if (sent < 0)
        sendFailed = true;
    return sent;
}

std::pair<long, long> SocketStream::send2(std::string_view head, std::string_view body)
{
    std::size_t sent = platform::sendGathered(socket, head, body);
    if (sent == head.size() + body.size())
        return {static_cast<long>(head.size()), static_cast<long>(body.size())};
    sendFailed = true;
    if (sent >= head.size())
        return {static_cast<long>(head.size()), -1};
    return {-1, -1};
}

std::uint64_t SocketStream::sendFile(int file, std::uint64_t offset, std::uint64_t length)
{
    bool failed = false;
    std::uint64_t sent = platform::sendFileRange(socket, file, offset, length, failed);
    // A file that shrank since its length was announced leaves the body
    // short: the peer would read the next answer as the rest of this one.
    if (failed || sent < length)
        sendFailed = true;
    return sent;
}

} // namespace http
