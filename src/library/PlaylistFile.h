#pragma once

#include "library/PlaylistItem.h"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// A list of playlist items: read from an M3U or PLS file, or built with
/// `add`, and written as extended M3U text.
///
/// Threads: an object belongs to one thread at a time; separate objects may
/// be used on any number of threads. Nothing throws: a file that cannot be
/// read gives an empty list.
class PlaylistFile {
public:
    /// Appends what it reads from the text to the items.
    using Reader = void (*)(std::string_view text, std::vector<PlaylistItem>& items);

    /// No items; the readers are registered ("m3u" and "pls").
    PlaylistFile();
    /// The same, then reads `path` with the reader registered for its
    /// extension (lower-cased text after the last "."); a path with no such
    /// reader, or a file that cannot be read or is not a regular file, leaves
    /// the list empty. At most the first `PlaylistLimits::maxTextBytes` bytes
    /// of the file are read.
    explicit PlaylistFile(const std::string& path);

    /// True when the extension of `path` is "m3u" or "pls", in any case.
    static bool isPlaylistFile(std::string_view path);

    /// Appends an item with length 0.
    void add(std::string path, std::string title);
    void add(const PlaylistItem& item);

    std::size_t itemCount() const { return items.size(); }
    /// `index` must be below `itemCount()`.
    const PlaylistItem& itemAt(std::size_t index) const { return items[index]; }

    /// Extended M3U text: "#EXTM3U", then per item "#EXTINF:<length>,<title>"
    /// and a path line; every line ends with one line feed. The path line is
    /// the path with an empty `prefix`; otherwise `prefix` followed by the
    /// path, percent-encoded (every byte but ASCII letters and digits) when
    /// `encode` is set. A CR or LF inside a title, prefix or unencoded path
    /// is written as a blank, so no item can add lines of its own.
    std::string writeM3u(std::string_view prefix, bool encode) const;
    /// The same with an empty prefix.
    std::string writeM3u() const;

private:
    std::vector<PlaylistItem> items;
    /// Lower-case extension → reader.
    std::map<std::string, Reader, std::less<>> readers;
};

} // namespace library
