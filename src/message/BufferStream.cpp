#include "message/BufferStream.h"

#include <algorithm>
#include <cstring>

namespace http {

BufferStream::BufferStream(std::vector<std::string> chunks)
{
    for (auto& chunk : chunks)
        addInput(std::move(chunk));
}

void BufferStream::addInput(std::string chunk)
{
    // An empty chunk would read as the peer closing; there is nothing to deliver.
    if (!chunk.empty())
        input.push_back({Event::data, std::move(chunk), {}});
}

void BufferStream::addReceiveError()
{
    input.push_back({Event::error, {}, {}});
}

void BufferStream::addSilence(Clock::duration wait)
{
    input.push_back({Event::silence, {}, wait});
}

long BufferStream::receive(char* buffer, std::size_t size)
{
    ++receives;
    while (!input.empty()) {
        Event& next = input.front();
        if (next.kind == Event::error) {
            input.pop_front();
            return -1;
        }
        if (next.kind == Event::silence) {
            silentFor += next.wait;
            input.pop_front();
            if (allowed && silentFor > *allowed)
                return -1;  // the deadline passed while waiting
            continue;
        }
        if (size == 0)
            return 0;
        std::size_t count = std::min(size, next.bytes.size());
        std::memcpy(buffer, next.bytes.data(), count);
        if (count == next.bytes.size())
            input.pop_front();
        else
            next.bytes.erase(0, count);
        return long(count);
    }
    return 0;
}

void BufferStream::unreceive(std::string_view bytes)
{
    if (!bytes.empty())
        input.push_front({Event::data, std::string(bytes), {}});
}

bool BufferStream::fits(std::size_t size) const
{
    // sentBytes never passes sendLimit: a write that does not fit records nothing.
    return size <= sendLimit - sentBytes;
}

long BufferStream::send(std::string_view data)
{
    if (!fits(data.size()))
        return -1;
    sentBytes += data.size();
    written.emplace_back(data);
    return long(data.size());
}

std::pair<long, long> BufferStream::send2(std::string_view head, std::string_view body)
{
    if (!fits(head.size()))
        return {-1, -1};
    std::string write(head);
    sentBytes += head.size();
    long second = -1;
    if (fits(body.size())) {
        write += body;
        sentBytes += body.size();
        second = long(body.size());
    }
    written.push_back(std::move(write));
    return {long(head.size()), second};
}

void BufferStream::setReceiveDeadline(std::optional<Clock::time_point> deadline)
{
    silentFor = {};
    if (deadline)
        allowed = std::max(Clock::duration::zero(), *deadline - Clock::now());
    else
        allowed.reset();
    deadlineLog.push_back(allowed);
}

std::string BufferStream::sent() const
{
    std::string all;
    for (const auto& write : written)
        all += write;
    return all;
}

std::string BufferStream::unreadInput() const
{
    std::string rest;
    for (const auto& event : input)
        if (event.kind == Event::data)
            rest += event.bytes;
    return rest;
}

} // namespace http
