#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// One place a cover may come from: a picture embedded in a media file, or
/// an image file.
struct CoverSource {
    std::string path;
    bool embedded = false;
};

/// Where the cover of one file or folder may come from, in the order they
/// are tried, and a name for what they hold now.
struct CoverSources {
    std::vector<CoverSource> order;
    /// 32 hexadecimal digits hashed from `variant`, and the path, size and
    /// modification time of every source: any change to a source, or a
    /// source added or removed, gives another key.
    std::string key;
    /// The latest modification time among the sources, seconds since 1970.
    std::int64_t modified = 0;
};

/// Whether a file name is that of a media file (not a playlist).
using MediaNameTest = std::function<bool(std::string_view name)>;

/// The sources of the cover of `target`, a regular file or a directory the
/// caller has allowed:
///  - a file: its embedded picture, then the folder's image files;
///  - a directory: its image files, then the embedded picture of its first
///    media file (by name, byte order).
/// Image files are "cover", "folder" and "front" in that order, each with
/// "jpg", "jpeg", "png" or "webp" (any case), regular files only. Nothing
/// when `target` is neither or has no source at all. Reads one directory;
/// any thread.
std::optional<CoverSources> coverSources(const std::string& target, const MediaNameTest& isMedia,
                                         std::string_view variant);

} // namespace library
