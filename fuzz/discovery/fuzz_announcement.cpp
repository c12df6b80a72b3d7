// Feeds arbitrary bytes to the datagram decoder, as any machine on the LAN
// can, and checks what must hold: only whole records are taken, names are at
// most 15 bytes without a zero, and each decoded announcement written again
// gives back its record (name bytes after the terminator aside).
#include "discovery/PDPDiscovery.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using discovery::PDPDiscovery;
    const std::vector<PDPDiscovery> packets = discovery::decodeAnnouncements({data, size});
    require(packets.size() <= size / PDPDiscovery::wireSize);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const PDPDiscovery& packet = packets[i];
        require(packet.type == PDPDiscovery::announcementType);
        require(packet.name.size() <= PDPDiscovery::nameSize);
        require(packet.name.find('\0') == std::string::npos);
        require(discovery::instanceKey(packet.instanceId).size() == 36);

        std::vector<std::uint8_t> record(data + i * PDPDiscovery::wireSize, data + (i + 1) * PDPDiscovery::wireSize);
        auto nameEnd = std::find(record.begin() + 17, record.begin() + 32, 0);
        std::fill(nameEnd, record.begin() + 32, 0);
        std::uint8_t again[PDPDiscovery::wireSize];
        std::size_t length = sizeof again;
        packet.serialize(again, length);
        require(length == PDPDiscovery::wireSize && std::equal(record.begin(), record.end(), again));
    }
    return 0;
}
