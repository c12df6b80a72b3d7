#pragma once

#include "discovery/IPacket.h"
#include "platform/Datagram.h"

#include <cstdint>

namespace discovery {

/// What every received packet carries besides its wire fields. A value type.
class PDPPacket : public IPacket {
public:
    /// The address and port the datagram came from (not from its content).
    platform::Ipv4Endpoint sender;
    /// The millisecond tick (platform::tickCount) when it was received.
    std::uint32_t receivedAt = 0;
    /// The first byte on the wire.
    std::uint8_t type = 0;
};

} // namespace discovery
