// Feeds arbitrary bytes, as a peer's "stream" answer, to the item reader and
// checks that every item it takes is one peer URL without control bytes.
#include "library/PeerPlaylist.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> items;
    library::appendPeerItems(text, items);
    std::size_t extinf = 0;
    for (std::size_t at = text.find("#EXTINF:"); at != std::string_view::npos; at = text.find("#EXTINF:", at + 1))
        ++extinf;
    if (items.size() > extinf)
        __builtin_trap();
    auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
    for (const std::string& item : items) {
        if (!item.starts_with("http://") || std::any_of(item.begin(), item.end(), control) ||
            text.find(item) == std::string_view::npos)
            __builtin_trap();
    }
    return 0;
}
