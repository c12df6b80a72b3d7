#include "discovery/PeerTable.h"

#include <algorithm>

namespace discovery {

bool PeerTable::handle(const PDPDiscovery& packet, const platform::Guid& self)
{
    if (packet.type != PDPDiscovery::announcementType)
        return false;
    std::string key = instanceKey(packet.instanceId);
    bool removed = peers.erase(key) != 0;
    // An instance hears its own broadcasts; they never make it a peer of itself.
    if (packet.instanceId == self || packet.state == PDPDiscovery::leaving)
        return removed;
    if (peers.size() >= capacity) {
        const std::uint32_t now = packet.receivedAt;
        auto oldest = std::max_element(peers.begin(), peers.end(), [now](const auto& a, const auto& b) {
            return std::uint32_t(now - a.second.receivedAt) < std::uint32_t(now - b.second.receivedAt);
        });
        peers.erase(oldest);
    }
    peers.emplace(std::move(key), packet);
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
