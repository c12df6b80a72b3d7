#pragma once

#include "library/TrackRecord.h"

#include <cstdint>

#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// The pieces of the tag-aware listing answers ("files.js", "album.js" and
/// the like). Every value is written as a quoted string through `urlEncode`,
/// so an answer holds only letters, digits and "%xx" between its quotes and
/// a peer's answer is checked by one small grammar. Pure; any thread.

/// `"key" : "` + urlEncode(value) + `"`.
std::string quotedField(std::string_view key, std::string_view value);

/// The cover URL of a library path: "cover?path=" + urlEncode(path).
std::string coverUrl(std::string_view path);

/// Seconds since 1970 (UTC) of a file time; 0 for a time before 1970.
std::int64_t unixSeconds(const library::FileTime& time);

/// One entry object, keys in this order: name, path, type (as "library.js"
/// writes them: the text after the path's last separator; "$DIR$" or the
/// lower-cased extension), size (bytes), modified (seconds since 1970),
/// duration (ms), title, artist, album, albumartist, track, disc, year,
/// genre, cover (`cover`, e.g. a `coverUrl`, or ""). Unknown numbers are
/// "0", unknown texts "". `name`, when not empty, replaces the name (a
/// shared directory in a root listing is named by its whole path).
std::string trackEntryText(const library::TrackRecord& track, std::string_view cover, std::string_view name = {});

/// `objects` as the inside of an array: a line feed before each, "," between.
std::string objectLines(const std::vector<std::string>& objects);

} // namespace webapp
