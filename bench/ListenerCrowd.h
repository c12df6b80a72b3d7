#pragma once

#include "http/support/RawClient.h"
#include "platform/Readiness.h"
#include "platform/WakeupDescriptor.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace bench {

/// Open "live" listeners whose streams are read as a browser reads them: one
/// thread takes every event as it arrives and keeps, for each listener, the
/// last volume it was told. Reading is what makes a receiver acknowledge
/// promptly and keeps the server's sends from piling up, so a crowd that
/// reads costs the machine what real listeners would.
class ListenerCrowd {
public:
    /// Takes over `clients`, each with the head of its stream read.
    explicit ListenerCrowd(std::vector<std::unique_ptr<testing_support::RawClient>> clients);
    /// Stops reading and closes every stream.
    ~ListenerCrowd();
    ListenerCrowd(const ListenerCrowd&) = delete;
    ListenerCrowd& operator=(const ListenerCrowd&) = delete;

    /// Waits until every listener has been told `volume` last; false after
    /// `limit`, or when a stream ended.
    bool allHeard(int volume, std::chrono::milliseconds limit = std::chrono::seconds(30)) const;
    /// The events read so far, over all listeners.
    std::size_t events() const { return eventCount.load(); }

private:
    struct Stream {
        std::unique_ptr<testing_support::RawClient> client;
        std::string unread;         // the start of an event still arriving
        std::atomic<int> volume{-1};
        std::atomic<bool> ended{false};
    };
    void read();
    void take(Stream& stream);

    std::vector<std::unique_ptr<Stream>> streams;
    platform::ReadinessSet ready;
    platform::WakeupDescriptor stopping;
    std::atomic<std::size_t> eventCount{0};
    std::thread reader;
};

} // namespace bench
