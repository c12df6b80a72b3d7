// Feeds arbitrary bytes to the PLS reader and checks the limits, and that a
// line without "=" added at the end changes nothing.
#include "PlaylistChecks.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using fuzzlibrary::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<library::PlaylistItem> items;
    library::readPls(text, items);
    fuzzlibrary::checkItems(items);

    // Lines without "=" are ignored: adding one changes nothing.
    std::string extended(text);
    if (!extended.empty() && extended.back() != '\n')
        extended += '\n';
    extended += "no key here\n";
    std::vector<library::PlaylistItem> again;
    library::readPls(extended, again);
    if (text.empty() || text.back() == '\n')
        require(again == items);
    else
        // A final line ending in CR loses one CR as a value and one more as a
        // line once a line feed follows it: only the count must agree.
        require(again.size() == items.size());
    return 0;
}
