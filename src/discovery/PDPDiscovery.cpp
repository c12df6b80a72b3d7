#include "discovery/PDPDiscovery.h"

#include <algorithm>

namespace discovery {

namespace {

constexpr std::size_t idOffset = 1;
constexpr std::size_t nameOffset = 17;
constexpr std::size_t stateOffset = 32;
constexpr std::size_t portOffset = 36;

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 |
           std::uint32_t(bytes[3]);
}

} // namespace

void PDPDiscovery::serialize(std::uint8_t* buffer, std::size_t& length) const
{
    if (length < wireSize) {
        length = 0;
        return;
    }
    std::fill(buffer, buffer + wireSize, std::uint8_t{0});
    buffer[0] = type;
    std::copy(instanceId.begin(), instanceId.end(), buffer + idOffset);
    for (std::size_t i = 0; i < std::min(name.size(), nameSize) && name[i] != '\0'; ++i)
        buffer[nameOffset + i] = static_cast<std::uint8_t>(name[i]);
    for (int i = 0; i < 4; ++i)
        buffer[stateOffset + i] = static_cast<std::uint8_t>(state >> (24 - 8 * i));
    buffer[portOffset] = static_cast<std::uint8_t>(port >> 8);
    buffer[portOffset + 1] = static_cast<std::uint8_t>(port);
    length = wireSize;
}

std::vector<PDPDiscovery> decodeAnnouncements(std::span<const std::uint8_t> datagram)
{
    std::vector<PDPDiscovery> found;
    for (std::size_t at = 0; datagram.size() - at >= PDPDiscovery::wireSize; at += PDPDiscovery::wireSize) {
        const std::uint8_t* record = datagram.data() + at;
        if (record[0] != PDPDiscovery::announcementType)
            break;
        PDPDiscovery& packet = found.emplace_back();
        std::copy(record + idOffset, record + nameOffset, packet.instanceId.begin());
        const std::uint8_t* name = record + nameOffset;
        packet.name.assign(reinterpret_cast<const char*>(name),
                           std::find(name, name + PDPDiscovery::nameSize, 0) - name);
        packet.state = bigEndian32(record + stateOffset);
        packet.port = static_cast<std::uint16_t>(record[portOffset] << 8 | record[portOffset + 1]);
    }
    return found;
}

std::string instanceKey(const platform::Guid& id)
{
    // Memory order of the first three fields is reversed in the text form.
    static constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += digits[id[order[i]] >> 4];
        text += digits[id[order[i]] & 0xf];
    }
    return text;
}

} // namespace discovery
