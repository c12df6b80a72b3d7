#pragma once

#include <string>
#include <string_view>

namespace player {

/// What the player knows of a media file from its tags and stream properties.
/// Texts are UTF-8; numbers are 0 when unknown.
struct TrackTags {
    bool readable = false;  // the file was recognised as a media file
    std::string artist;
    std::string album;
    std::string title;
    std::string genre;
    std::string comment;
    unsigned year = 0;
    unsigned track = 0;
    int lengthMs = 0;
    int bitrate = 0;     // kbit/s
    int sampleRate = 0;  // Hz
    int channels = 0;
};

/// Reads the tags of `path`; `readable` is false when the file is missing, is
/// not a regular file (a pipe, a device or a directory is never read, so the
/// call never waits on one) or is not a media file the tag library knows.
/// Safe from any thread.
TrackTags readTrackTags(const std::string& path);

/// The last part of a path or URL (after its last "/", or the local path
/// separator); the whole text when that part is empty.
std::string displayName(const std::string& file);

/// False for a URL ("scheme://..."), whose tags only its decoder can tell.
bool isLocalFile(const std::string& file);

/// True when `title` says no more than the file's name: empty, the name, or
/// the name without its extension. A URL's name is also the last part of its
/// "path=" parameter (a peer's download). Such a title gives way to the tags.
bool isPlaceholderTitle(const std::string& file, const std::string& title);

/// The extended-information field `name` ("artist", "album", "title",
/// "length" in ms, "genre", "comment", "year", "track", "bitrate"; any case)
/// as text. Empty when unknown, so that an empty answer never means "0".
std::string extendedInfoField(const TrackTags& tags, std::string_view name);

} // namespace player
