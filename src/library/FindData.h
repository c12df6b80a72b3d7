#pragma once

#include <cstdint>
#include <string>

namespace library {

/// A file time: 100-nanosecond units since 1601-01-01 UTC, kept as two 32-bit
/// halves, low first.
struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    std::uint64_t value() const { return (std::uint64_t{high} << 32) | low; }
    static FileTime fromValue(std::uint64_t value)
    {
        return {static_cast<std::uint32_t>(value), static_cast<std::uint32_t>(value >> 32)};
    }
};

/// Negative, zero or positive as `a` is earlier than, equal to or later than `b`.
inline int compareFileTime(const FileTime& a, const FileTime& b)
{
    return a.value() < b.value() ? -1 : (a.value() > b.value() ? 1 : 0);
}

/// What a directory enumeration knows about one entry. A value-initialised
/// record (every number 0, empty name) means "no such file".
struct FindData {
    /// The directory bit; the only attribute the library tests.
    static constexpr std::uint32_t directoryAttribute = 0x10;
    /// What every other entry carries ("no other attribute").
    static constexpr std::uint32_t normalAttribute = 0x80;

    std::uint32_t attributes = 0;
    /// The last status change: the file system keeps no creation time we can
    /// rely on.
    FileTime creationTime;
    FileTime lastAccessTime;
    FileTime lastWriteTime;
    /// Size in bytes as two 32-bit halves; 0 for a directory.
    std::uint32_t sizeHigh = 0;
    std::uint32_t sizeLow = 0;
    /// The entry's own name, without any directory part.
    std::string name;

    bool isDirectory() const { return (attributes & directoryAttribute) != 0; }
};

} // namespace library
