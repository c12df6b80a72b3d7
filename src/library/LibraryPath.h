#pragma once

#include <string>
#include <string_view>

namespace library {

/// The separator between the parts of a local path.
inline constexpr char pathSeparator = '/';

/// The prefixes of the library's path kinds other than local paths.
inline constexpr std::string_view peerPrefix = "http://";
inline constexpr std::string_view searchPrefix = "search://";
inline constexpr std::string_view folderSearchPrefix = "searchf://";
/// An album: "album://", the percent-encoded filing artist, "/", the
/// percent-encoded album name. An artist: "artist://" and the
/// percent-encoded filing artist. Neither part can hold a "/".
inline constexpr std::string_view albumPrefix = "album://";
inline constexpr std::string_view artistPrefix = "artist://";

/// The album or artist a tag path names (texts as the tags give them).
struct TagPath {
    bool isAlbum = false;
    std::string artist;
    std::string album;
};

/// The path of the album `album` filed under `artist`, and of `artist`.
std::string albumPath(std::string_view artist, std::string_view album);
std::string artistPath(std::string_view artist);

/// What `path` names when it is an album or artist path; false (and `out`
/// unspecified) for any other text, an album path without its "/" or with
/// more than one among them.
bool parseTagPath(std::string_view path, TagPath& out);

/// The text after the last "." of `name`, lower-cased byte by byte (ASCII
/// letters only); the whole name, lower-cased, when it has no ".".
std::string extensionOf(std::string_view name);

/// The text after the last separator of `path` (the whole path without one).
std::string_view fileNamePart(std::string_view path);

/// `path` without any separators at its end ("/" becomes "").
std::string withoutTrailingSeparators(std::string_view path);

/// How a shared directory is stored: without separators at its end, except
/// that the root stays "/" (so that it still names a directory).
std::string sharedDirectoryForm(std::string_view path);

/// True unless `path` begins with "http://", "search://", "searchf://",
/// "album://" or "artist://" (exact bytes).
bool isLocalPath(std::string_view path);

/// True when `path` holds a NUL byte or a part, between separators, that is
/// exactly "." or "..": such a path may name something other than its text
/// suggests, so the library never lets one through its shared-directory test.
bool climbsOrHidesParts(std::string_view path);

} // namespace library
