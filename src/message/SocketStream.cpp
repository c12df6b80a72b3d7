#include "message/SocketStream.h"

#include "message/MessageText.h"

#include "platform/FileSend.h"
#include "platform/Files.h"
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
    else
        endMet = true;
    return true;
}

bool SocketStream::holdsWholeHead(std::size_t limit) const
{
    // A request without a body that came alone ends with its blank line.
    return given.ends_with("\r\n\r\n") || endMet || given.size() >= limit
        || findBlankLine(given) != std::string::npos;
}

void SocketStream::markPartial()
{
    if (partialTicks.load(std::memory_order_relaxed) == 0)
        partialTicks.store(std::max<Clock::rep>(Clock::now().time_since_epoch().count(), 1),
                           std::memory_order_relaxed);
}

std::optional<Stream::Clock::time_point> SocketStream::partialSince() const
{
    Clock::rep ticks = partialTicks.load(std::memory_order_relaxed);
    if (ticks == 0)
        return std::nullopt;
    return Clock::time_point(Clock::duration(ticks));
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
    if (full == FullBuffer::keep)
        return send2(data, {}).first;
    long sent = platform::sendAll(socket, data);
    if (sent < 0)
        sendFailed = true;
    return sent;
}

std::pair<long, long> SocketStream::send2(std::string_view head, std::string_view body)
{
    const std::pair<long, long> whole{static_cast<long>(head.size()), static_cast<long>(body.size())};
    if (full == FullBuffer::keep) {
        if (!unsent.empty()) {
            keep(head, body);
            return whole;
        }
        const long sent = platform::sendGatheredAvailable(socket, head, body);
        if (sent < 0) {
            sendFailed = true;
            return {-1, -1};
        }
        const auto done = static_cast<std::size_t>(sent);
        if (done < head.size() + body.size()) {
            const std::size_t headDone = std::min(done, head.size());
            keep(head.substr(headDone), body.substr(done - headDone));
        }
        return whole;
    }
    std::size_t sent = platform::sendGathered(socket, head, body);
    if (sent == head.size() + body.size())
        return whole;
    sendFailed = true;
    if (sent >= head.size())
        return {static_cast<long>(head.size()), -1};
    return {-1, -1};
}

std::uint64_t SocketStream::sendFile(int file, std::uint64_t offset, std::uint64_t length)
{
    bool failed = false;
    if (full == FullBuffer::wait) {
        std::uint64_t sent = platform::sendFileRange(socket, file, offset, length, failed);
        // A file that shrank since its length was announced leaves the body
        // short: the peer would read the next answer as the rest of this one.
        if (failed || sent < length)
            sendFailed = true;
        return sent;
    }
    std::uint64_t sent = 0;
    if (unsent.empty()) {
        bool blocked = false;
        sent = platform::sendFileAvailable(socket, file, offset, length, failed, blocked);
        if (failed || (!blocked && sent < length))
            sendFailed = true;
        if (failed || !blocked)
            return sent;
    }
    // The rest waits with a descriptor of its own: the caller closes its own.
    platform::UniqueFd copy = platform::duplicateFile(file);
    if (!copy) {
        // None to be had: the rest goes out waiting, as it always could.
        if (!sendUnsentWaiting())
            return sent;
        const std::uint64_t rest = platform::sendFileRange(socket, file, offset + sent, length - sent, failed);
        if (failed || rest < length - sent)
            sendFailed = true;
        return sent + rest;
    }
    if (unsent.empty())
        noteProgress();
    Unsent rest;
    rest.file = std::move(copy);
    rest.offset = offset + sent;
    rest.left = length - sent;
    unsent.push_back(std::move(rest));
    return length;
}

void SocketStream::keep(std::string_view first, std::string_view second)
{
    if (unsent.empty())
        noteProgress();
    if (unsent.empty() || unsent.back().file)
        unsent.emplace_back();
    unsent.back().bytes.append(first).append(second);
}

SocketStream::Flush SocketStream::sendUnsent()
{
    while (!unsent.empty()) {
        Unsent& part = unsent.front();
        bool failed = false;
        bool blocked = false;
        std::uint64_t sent = 0;
        if (!part.file) {
            const long now = platform::sendGatheredAvailable(socket, std::string_view(part.bytes).substr(part.done), {});
            failed = now < 0;
            sent = failed ? 0 : static_cast<std::uint64_t>(now);
            part.done += static_cast<std::size_t>(sent);
            blocked = part.done < part.bytes.size();
        } else {
            sent = platform::sendFileAvailable(socket, part.file.get(), part.offset, part.left, failed, blocked);
            part.offset += sent;
            part.left -= sent;
            // A file that ended early breaks the framing of the answer.
            failed = failed || (!blocked && part.left > 0);
        }
        if (failed) {
            sendFailed = true;
            unsent.clear();
            unsentTicks = 0;
            return Flush::failed;
        }
        if (sent > 0)
            noteProgress();
        if (blocked)
            return Flush::blocked;
        unsent.pop_front();
    }
    unsentTicks = 0;
    return Flush::done;
}

bool SocketStream::sendUnsentWaiting()
{
    for (; !unsent.empty(); unsent.pop_front()) {
        Unsent& part = unsent.front();
        bool failed = false;
        if (!part.file) {
            failed = platform::sendAll(socket, std::string_view(part.bytes).substr(part.done)) < 0;
        } else {
            bool socketFailed = false;
            failed = platform::sendFileRange(socket, part.file.get(), part.offset, part.left, socketFailed) < part.left;
        }
        if (failed) {
            sendFailed = true;
            unsent.clear();
            break;
        }
    }
    unsentTicks = 0;
    return !sendFailed;
}

void SocketStream::noteProgress()
{
    unsentTicks.store(std::max<Clock::rep>(Clock::now().time_since_epoch().count(), 1), std::memory_order_relaxed);
}

std::optional<Stream::Clock::time_point> SocketStream::unsentSince() const
{
    Clock::rep ticks = unsentTicks.load(std::memory_order_relaxed);
    if (ticks == 0)
        return std::nullopt;
    return Clock::time_point(Clock::duration(ticks));
}

} // namespace http
