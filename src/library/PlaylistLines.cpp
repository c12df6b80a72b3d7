#include "library/PlaylistLines.h"

namespace library {

bool PlaylistLines::next(std::string_view& line, bool& cut)
{
    if (text.empty())
        return false;
    const std::size_t feed = text.find('\n');
    std::string_view whole = text.substr(0, feed);
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
    if (feed != std::string_view::npos && !whole.empty() && whole.back() == '\r')
        whole.remove_suffix(1);
    cut = whole.size() > maxLineLength;
    line = whole.substr(0, maxLineLength);
    return true;
}

} // namespace library
