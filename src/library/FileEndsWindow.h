#pragma once

#include "library/FileEnds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace library {

/// Byte ranges of a media file for a tag parser: from the head or the tail
/// it was given, else from one large read beyond them (a parser walking past
/// a big picture asks for many small ranges there, answered by few reads).
/// One thread; nothing throws but allocation.
class FileEndsWindow {
public:
    /// Bytes read beyond the ends at once, at least.
    static constexpr std::size_t readAhead = 256 * 1024;

    explicit FileEndsWindow(const FileEnds& ends) : ends(ends) {}

    std::int64_t size() const { return ends.size; }

    /// The `count` bytes at `offset`; nothing when they reach past the end
    /// of the file or cannot be read. A view into the read beyond the ends
    /// lasts until the next call.
    std::optional<std::string_view> bytes(std::int64_t offset, std::size_t count);

private:
    const FileEnds& ends;
    std::string read;
    std::int64_t readStart = -1;
};

} // namespace library
