// Feeds arbitrary bytes to the M3U reader and checks what must hold for any
// input: the limits are kept, and the items written back as extended M3U read
// back the same (line breaks inside a field written as blanks).
#include "PlaylistChecks.h"

#include "library/PlaylistFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using fuzzlibrary::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<library::PlaylistItem> items;
    library::readM3u(text, items);
    fuzzlibrary::checkItems(items);

    // The written "#EXTINF:" line adds some 20 bytes to a title, which could
    // then pass the line limit; small inputs keep clear of every limit.
    if (size > 8192)
        return 0;
    library::PlaylistFile playlist;
    std::vector<library::PlaylistItem> expected;
    for (library::PlaylistItem item : items) {
        playlist.add(item);
        for (std::string* field : {&item.path, &item.title}) {
            for (char& c : *field)
                c = (c == '\r') ? ' ' : c;
        }
        expected.push_back(item);
    }
    std::vector<library::PlaylistItem> again;
    library::readM3u(playlist.writeM3u(), again);
    require(again == expected);
    return 0;
}
