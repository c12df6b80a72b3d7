#include "ListenerCrowd.h"

#include "platform/Socket.h"

#include <array>
#include <cstdlib>
#include <span>

namespace bench {

namespace {

constexpr std::uint64_t stopKey = ~std::uint64_t{0};

/// The volume an event tells, or -1 when it tells none.
int volumeOf(std::string_view event)
{
    constexpr std::string_view field = "\"volume\":";
    const std::size_t at = event.find(field);
    if (at == std::string_view::npos)
        return -1;
    return std::atoi(std::string(event.substr(at + field.size(), 4)).c_str());
}

} // namespace

ListenerCrowd::ListenerCrowd(std::vector<std::unique_ptr<testing_support::RawClient>> clients)
{
    ready.add(stopping.descriptor(), stopKey, platform::ReadinessSet::Watch::level);
    for (auto& client : clients) {
        auto stream = std::make_unique<Stream>();
        stream->unread = client->takePending();
        stream->client = std::move(client);
        streams.push_back(std::move(stream));
    }
    for (std::size_t i = 0; i < streams.size(); ++i) {
        take(*streams[i]);  // what came with the head
        ready.add(streams[i]->client->descriptor(), i);
    }
    reader = std::thread([this] { read(); });
}

ListenerCrowd::~ListenerCrowd()
{
    stopping.signal();
    reader.join();
    for (auto& stream : streams)
        ready.remove(stream->client->descriptor());
}

bool ListenerCrowd::allHeard(int volume, std::chrono::milliseconds limit) const
{
    const auto until = std::chrono::steady_clock::now() + limit;
    for (const auto& stream : streams) {
        while (stream->volume.load() != volume) {
            if (stream->ended.load() || std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return true;
}

void ListenerCrowd::read()
{
    std::array<std::uint64_t, 64> keys{};
    std::array<char, 4096> buffer{};
    for (;;) {
        const int count = ready.wait(keys);
        if (count < 0)
            return;
        for (std::uint64_t key : std::span(keys).first(static_cast<std::size_t>(count))) {
            if (key == stopKey)
                return;
            Stream& stream = *streams[key];
            // Reported once per arrival: read until nothing is left.
            for (;;) {
                const long got = platform::receiveAvailable(stream.client->descriptor(), buffer.data(), buffer.size());
                if (got == -2)
                    break;
                if (got <= 0) {
                    stream.ended = true;
                    ready.remove(stream.client->descriptor());
                    break;
                }
                stream.unread.append(buffer.data(), static_cast<std::size_t>(got));
            }
            take(stream);
        }
    }
}

void ListenerCrowd::take(Stream& stream)
{
    std::size_t start = 0;
    for (std::size_t end; (end = stream.unread.find("\n\n", start)) != std::string::npos; start = end + 2) {
        const int volume = volumeOf(std::string_view(stream.unread).substr(start, end - start));
        if (volume >= 0)
            stream.volume = volume;
        ++eventCount;
    }
    stream.unread.erase(0, start);
}

} // namespace bench
