#pragma once

#include <cstdint>
#include <string>

namespace library {

/// One entry of a playlist file.
struct PlaylistItem {
    /// The file path or URL as written in the file (relative paths stay
    /// relative).
    std::string path;
    /// Display title.
    std::string title;
    /// Duration in seconds as written (-1 included); 0 when none was given.
    std::int32_t length = 0;

    bool operator==(const PlaylistItem&) const = default;
};

} // namespace library
