#pragma once

#include "library/PlaylistItem.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace library {

/// What a playlist reader takes in at most. Text beyond `maxTextBytes` is
/// not looked at, nor is a line that the limit cuts; a line longer than
/// `maxLineLength` is not used; reading ends once `maxEntries` items have
/// been appended. Together they bound the
/// memory that any input, however large or hostile, can make a reader use.
struct PlaylistLimits {
    static constexpr std::size_t maxTextBytes = 16 * 1024 * 1024;
    static constexpr std::size_t maxLineLength = 16 * 1024;
    static constexpr std::size_t maxEntries = 100000;
};

/// The decimal number at the start of `text` as C's atoi reads it (leading
/// white space, an optional sign, digits; 0 when there are none), held to the
/// 32-bit range instead of overflowing.
std::int32_t leadingInteger(std::string_view text);

/// Appends the items of M3U text. A first line of exactly "#EXTM3U" makes it
/// extended: each "#EXTINF:<length>,<title>" line and the line after it (the
/// path, whatever it holds) make one item, and every other line that is
/// neither blank nor a comment (starting with "#") is an item with path =
/// title = the line and length 0; an "#EXTINF:" line without a comma gives
/// the whole line as title, one at the end of the text gives nothing.
/// Otherwise every line, the first included, is an item with path = title =
/// the line and length 0. A line too long to use is passed over, and a path
/// line that is takes its item with it.
void readM3u(std::string_view text, std::vector<PlaylistItem>& items);

/// Appends the items of PLS text: nothing unless the first line starts with
/// "[playlist]". "Key=value" lines (value without the blanks after "=" and
/// one final CR; a later line wins) give "NumberOfEntries" N, and items
/// 1..N (at most `maxEntries`) take "File<i>", "Title<i>" and "Length<i>",
/// empty or 0 when absent; keys match exactly.
void readPls(std::string_view text, std::vector<PlaylistItem>& items);

} // namespace library
