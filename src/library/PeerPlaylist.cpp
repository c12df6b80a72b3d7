#include "library/PeerPlaylist.h"

#include "library/LibraryPath.h"

#include <algorithm>

namespace library {

void appendPeerItems(std::string_view m3u, std::vector<std::string>& out, std::size_t limit)
{
    constexpr auto npos = std::string_view::npos;
    for (std::size_t found = m3u.find("#EXTINF:"); found != npos && out.size() < limit;
         found = m3u.find("#EXTINF:", found + 1)) {
        std::size_t lineEnd = m3u.find('\n', found);
        if (lineEnd == npos)
            break;
        std::size_t itemEnd = m3u.find('\n', lineEnd + 1);
        std::string_view item = m3u.substr(lineEnd + 1, itemEnd == npos ? npos : itemEnd - lineEnd - 1);
        if (item.ends_with('\r'))
            item.remove_suffix(1);
        // A URL never holds a control byte: such an item is no peer's export.
        const bool plain =
            std::none_of(item.begin(), item.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        if (item.starts_with(peerPrefix) && plain)
            out.emplace_back(item);
    }
}

} // namespace library
