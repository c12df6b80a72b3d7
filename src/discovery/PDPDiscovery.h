#pragma once

#include "discovery/PDPPacket.h"
#include "platform/Guid.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace discovery {

/// The announcement: "this instance is here (state 1) or leaving (state 0),
/// and serves HTTP on this port". On the wire, exactly 38 bytes:
///   0  type, 1
///   1  the instance id, 16 bytes as they lie in memory
///  17  the name, 15 bytes, zero-padded (a 15-byte name has no terminator)
///  32  state, 32 bits big-endian
///  36  the HTTP port, 16 bits big-endian
/// A value type; no operation throws.
class PDPDiscovery : public PDPPacket {
public:
    static constexpr std::uint8_t announcementType = 1;
    static constexpr std::size_t wireSize = 38;
    static constexpr std::size_t nameSize = 15;
    static constexpr std::uint32_t present = 1;
    static constexpr std::uint32_t leaving = 0;

    PDPDiscovery() { type = announcementType; }

    /// Writes the 38 bytes; a longer `name` is cut to 15 bytes, and the name
    /// ends at its first zero byte.
    void serialize(std::uint8_t* buffer, std::size_t& length) const override;

    platform::Guid instanceId{};
    /// At most 15 bytes, never a zero byte inside.
    std::string name;
    std::uint32_t state = present;
    std::uint16_t port = 0;
};

/// The announcements in one received datagram: from its start, each whole
/// 38-byte record whose first byte is 1, up to the first record that is short
/// or of another type; whatever follows is discarded. Names are cut at their
/// first zero byte. `sender` and `receivedAt` are left for the caller. A pure
/// function: any bytes at all are safe.
std::vector<PDPDiscovery> decodeAnnouncements(std::span<const std::uint8_t> datagram);

/// The standard text form of an instance id as it lies on the wire: the first
/// field (4 bytes) and the next two (2 bytes each) are little-endian, the last
/// 8 bytes in order; lower-case hexadecimal, 8-4-4-4-12, no braces.
std::string instanceKey(const platform::Guid& id);

} // namespace discovery
