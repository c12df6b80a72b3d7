#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace library {

/// The unsigned number in the `count` bytes (at most 8) at `at` of `bytes`,
/// most significant byte first. The bytes must be there.
inline std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

/// The same, least significant byte first.
inline std::uint64_t littleEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    std::uint64_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

/// Four bytes at `at`, most significant first.
inline std::uint32_t bigEndian32(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bigEndian(bytes, at, 4));
}

} // namespace library
