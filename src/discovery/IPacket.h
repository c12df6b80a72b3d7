#pragma once

#include <cstddef>
#include <cstdint>

namespace discovery {

/// Every packet the discovery agent sends: something with a wire form.
class IPacket {
public:
    virtual ~IPacket() = default;

    /// Writes the wire form into `buffer`, whose size `length` gives, and sets
    /// `length` to the count written; 0 (nothing written) when it does not fit.
    virtual void serialize(std::uint8_t* buffer, std::size_t& length) const = 0;
};

} // namespace discovery
