// Feeds arbitrary bytes, as a peer's "library.js" answer, to the listing
// reader and checks that an answer it takes holds nothing that could end a
// script string or element, and that the listing written anew reads back
// the same.
#include "library/PeerListing.h"
#include "webapp/ListingText.h"
#include "webapp/ScriptText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    library::PeerListing listing;
    if (!library::parsePeerListing(text, listing))
        return 0;
    auto unsafe = [](char c) {
        return c == '<' || c == '\\' || c == '\'' || (static_cast<unsigned char>(c) < 0x20 && c != '\n');
    };
    if (std::any_of(text.begin(), text.end(), unsafe) || listing.auth.size() > library::longestAuth)
        __builtin_trap();
    library::PeerListing again;
    if (!library::parsePeerListing(webapp::scriptCall("", webapp::peerListingObject(listing)), again) ||
        !(again == listing))
        __builtin_trap();
    return 0;
}
