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
/// as its newest announcement, at most one per address and announced port.
/// Holds at most `capacity` peers: a new peer arriving at a full table takes
/// the place of the one heard longest ago, unless that one was heard within
/// `heardLately` (then the newcomer is not kept), so a flood of forged ids
/// costs a bounded amount of memory and never pushes out a peer that keeps
/// announcing itself.
///
/// Not thread-safe: the discovery agent guards it with its peer-table lock.
class PeerTable {
public:
    static constexpr std::size_t defaultCapacity = 256;
    /// A peer not heard for longer than this (milliseconds) is dropped by `expire`.
    static constexpr std::uint32_t lifetime = 10000;
    /// A peer heard within this many milliseconds keeps its place in a full
    /// table: two announcement periods, so one late or lost announcement is
    /// spared.
    static constexpr std::uint32_t heardLately = 6000;

    explicit PeerTable(std::size_t capacity = defaultCapacity) : capacity(capacity ? capacity : 1) {}

    /// Takes one received announcement. One from `self`, with port 0, with a
    /// state other than 1 or 0, or naming a listed id from another sender
    /// (address and port) is ignored. State 0 removes its id's entry; state
    /// 1 adds or refreshes it and removes any other entry with the same
    /// sender address and announced port. Returns true when its own entry
    /// was added, refreshed or removed.
    bool handle(const PDPDiscovery& packet, const platform::Guid& self);

    /// Removes every entry whose announcement arrived more than `lifetime`
    /// ms before `now` (ticks compared by unsigned difference, so the
    /// counter's wrap is harmless). Returns the count removed.
    std::size_t expire(std::uint32_t now);

    /// A copy of every entry, in key order.
    std::vector<PeerEntry> entries() const;
    std::size_t size() const { return peers.size(); }

private:
    /// Removes the entry heard longest ago unless it was heard within
    /// `heardLately` before `now`; true when one was removed.
    bool makeRoom(std::uint32_t now);

    const std::size_t capacity;
    std::map<std::string, PDPDiscovery> peers;
};

} // namespace discovery
