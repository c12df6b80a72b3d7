#include "discovery/PeerTable.h"

#include <algorithm>

namespace discovery {

bool PeerTable::handle(const PDPDiscovery& packet, const platform::Guid& self)
{
    if (packet.type != PDPDiscovery::announcementType || packet.port == 0 ||
        (packet.state != PDPDiscovery::present && packet.state != PDPDiscovery::leaving))
        return false;
    // An instance hears its own broadcasts; they never make it a peer of itself.
    if (packet.instanceId == self)
        return false;
    std::string key = instanceKey(packet.instanceId);
    auto known = peers.find(key);
    // Only the sender an entry was heard from refreshes or removes it; a
    // datagram that merely names its id changes nothing until it expires.
    if (known != peers.end() && !(known->second.sender == packet.sender))
        return false;
    if (packet.state == PDPDiscovery::leaving) {
        if (known == peers.end())
            return false;
        peers.erase(known);
        return true;
    }
    // One entry per address and port, the newest: an instance started again
    // there (with a new id) replaces the one before it.
    std::erase_if(peers, [&packet, &key](const auto& entry) {
        return entry.first != key && entry.second.sender.address == packet.sender.address &&
               entry.second.port == packet.port;
    });
    if (known != peers.end()) {
        known->second = packet;
        return true;
    }
    if (peers.size() >= capacity && !makeRoom(packet.receivedAt))
        return false;
    peers.emplace(std::move(key), packet);
    return true;
}

bool PeerTable::makeRoom(std::uint32_t now)
{
    auto oldest = std::max_element(peers.begin(), peers.end(), [now](const auto& a, const auto& b) {
        return std::uint32_t(now - a.second.receivedAt) < std::uint32_t(now - b.second.receivedAt);
    });
    if (oldest == peers.end() || std::uint32_t(now - oldest->second.receivedAt) <= heardLately)
        return false;
    peers.erase(oldest);
    return true;
}

std::size_t PeerTable::expire(std::uint32_t now)
{
    return std::erase_if(peers, [now](const auto& entry) {
        return std::uint32_t(now - entry.second.receivedAt) > lifetime;
    });
}

std::vector<PeerEntry> PeerTable::entries() const
{
    std::vector<PeerEntry> copy;
    copy.reserve(peers.size());
    for (const auto& [key, packet] : peers)
        copy.push_back({key, packet.sender, packet.name, packet.port});
    return copy;
}

} // namespace discovery
