#pragma once

#include "library/FileEnds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace library {

/// Bytes of a media file for a tag parser, taken from the ends it was
/// given, or else read through `readAt` a block at a time (one read serves
/// the neighbouring requests that follow). One thread; nothing throws.
class FileWindow {
public:
    /// Bytes read through `readAt` at a time, at least.
    static constexpr std::size_t blockSize = 64 * 1024;

    explicit FileWindow(const FileEnds& fileEnds) : ends(fileEnds) {}

    std::int64_t size() const { return ends.size; }

    /// The `count` bytes at `offset`; nothing when they reach past the end
    /// of the file or cannot be read. Valid until the next call.
    std::optional<std::string_view> bytes(std::int64_t offset, std::size_t count);

    /// At most `count` bytes at `offset`: fewer at the end of the file (none
    /// past it), as a file read gives them; nothing when they cannot be read.
    std::optional<std::string_view> upTo(std::int64_t offset, std::size_t count);

    /// The byte at `offset` (which must lie in the file); -1 when it cannot
    /// be read.
    int at(std::int64_t offset);

private:
    const FileEnds& ends;
    std::string fetched;
    std::int64_t fetchedStart = 0;
};

} // namespace library
