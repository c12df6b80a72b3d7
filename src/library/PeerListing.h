#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// One line of a peer's listing, its values percent-decoded (bytes as the
/// peer named them).
struct PeerListingEntry {
    std::string name;
    std::string path;
    std::string type;
    bool operator==(const PeerListingEntry&) const = default;
};

/// A peer's "library.js" answer read as data.
struct PeerListing {
    std::string path;   // percent-decoded
    std::string auth;   // the session id the peer gave the asker
    bool hasUp = false; // the ".." line of every listing but the root's
    std::vector<PeerListingEntry> entries;
    bool operator==(const PeerListing&) const = default;
};

/// Reads `answer` as exactly what an instance's "library.js" writes when
/// asked without a callback: "(", the listing object, ");". The object is
/// taken byte for byte: its fixed texts, blanks and line feeds in place;
/// path, name, path and type values made only of ASCII letters, digits and
/// "%" with two lower-case hexadecimal digits; an "auth" of at most
/// `longestAuth` letters, digits and "{}-_." (a session id as any instance
/// writes it). Anything else, a script around or inside the call included,
/// is refused: false, with `listing` unspecified. A pure function; the
/// answer's size is bounded by whoever fetched it.
bool parsePeerListing(std::string_view answer, PeerListing& listing);

inline constexpr std::size_t longestAuth = 128;

} // namespace library
