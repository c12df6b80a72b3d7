#pragma once

#include "library/LibrarySearch.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// The object texts of "find.js". Pure; any thread.

/// One hit as an entry object: "name", "path", "type" (as "library.js"
/// writes them), "size" in bytes, "modified" in seconds since 1970 UTC,
/// "duration" in ms, "title", "artist", "album", "albumartist", "track",
/// "disc", "year", "genre", "cover" (`coverUrl`, empty when there is none),
/// in that order. Every value goes through urlEncode; unknown numbers are
/// "0", unknown texts "".
std::string hitEntryObject(const library::LibrarySearch::Hit& hit, std::string_view coverUrl);

/// {"query" : .., "total" : .., "start" : .., "files" : [ the entries, one
/// per line ]}, values through urlEncode.
std::string findObject(std::string_view query, std::size_t total, std::size_t start,
                       const std::vector<std::string>& entries);

} // namespace webapp
