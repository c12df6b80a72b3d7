#pragma once

#include <cstddef>
#include <string_view>

namespace library {

/// Cuts playlist text into lines the way a text-mode read does: a line ends at
/// a line feed, a carriage return directly before it is dropped with it, and
/// the last line counts even without a line feed (an empty text has no lines).
/// A line longer than `maxLineLength` is returned cut to that length and
/// flagged, its remainder passed over. Views point into the text, which must
/// outlive the reader.
class PlaylistLines {
public:
    PlaylistLines(std::string_view text, std::size_t maxLineLength) : text(text), maxLineLength(maxLineLength) {}

    /// The next line; false at the end of the text. `cut` tells whether the
    /// line was longer than the limit.
    bool next(std::string_view& line, bool& cut);

private:
    std::string_view text;
    std::size_t maxLineLength;
};

} // namespace library
