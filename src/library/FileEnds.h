#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
namespace library {
/// What a reader of a media file's tags has of it: its first bytes and its
/// last bytes (which may overlap or be the whole file), and its size.
struct FileEnds {
    std::string_view head;      // bytes [0, head.size())
    std::string_view tail;      // bytes [tailStart, tailStart + tail.size())
    std::int64_t tailStart = 0;
    std::int64_t size = 0;
    /// Reads `count` bytes at `offset` into `into`, for what lies beyond
    /// the ends (say the comments after a 500 KiB picture); false when it
    /// cannot. May be empty: then a parser that needs it declines.
    std::function<bool(std::int64_t offset, std::size_t count, std::string& into)> readAt;
};
} // namespace library
