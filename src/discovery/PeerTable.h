#pragma once

#include "discovery/PDPDiscovery.h"
#include "platform/Datagram.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace discovery {

/// What a reader of the peer table needs of one peer.
struct PeerEntry {
    std::string key;                // the instance id's text form
    platform::Ipv4Endpoint sender;  // where its announcements come from
    std::string name;               // as announced: any bytes but zero, at most 15
    std::uint16_t port = 0;         // its HTTP port, as announced
    bool operator==(const PeerEntry&) const = default;
};

/// The instances heard lately, keyed by `instanceKey` of their id, each kept
/// as its newest announcement. Holds at most `capacity` peers: a new peer
/// arriving at a full table takes the place of the one heard longest ago, so
/// a flood of forged ids costs a bounded amount of memory.
///
/// Not thread-safe: the discovery agent guards it with its peer-table lock.
class PeerTable {
public:
    static constexpr std::size_t defaultCapacity = 256;
    /// A peer not heard for longer than this (milliseconds) is dropped by `expire`.
    static constexpr std::uint32_t lifetime = 10000;

    explicit PeerTable(std::size_t capacity = defaultCapacity) : capacity(capacity ? capacity : 1) {}

    /// Takes one received announcement. An announcement from `self`, or with
    /// state 0, removes its sender's entry (if any) and is not kept; any other
    /// adds or refreshes the entry. Returns true when the table changed.
    bool handle(const PDPDiscovery& packet, const platform::Guid& self);

    /// Removes every entry whose announcement arrived more than `lifetime`
    /// ms before `now` (ticks compared by unsigned difference, so the
    /// counter's wrap is harmless). Returns the count removed.
    std::size_t expire(std::uint32_t now);

    /// A copy of every entry, in key order.
    std::vector<PeerEntry> entries() const;
    std::size_t size() const { return peers.size(); }

private:
    const std::size_t capacity;
    std::map<std::string, PDPDiscovery> peers;
};

} // namespace discovery
