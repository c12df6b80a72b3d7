#pragma once

#include <cstdint>
#include <string>

namespace library {

/// What a media file's tags say about it. Texts are UTF-8 as the tags give
/// them (trimmed); numbers are 0 and texts empty when the tags do not say.
struct TrackTags {
    std::string artist;
    std::string albumArtist;
    std::string album;
    std::string title;
    std::string genre;
    int track = 0;
    int disc = 0;
    int year = 0;
    /// Length of the audio in milliseconds.
    std::int64_t durationMs = 0;
    /// True when the file carries an embedded picture (a cover).
    bool hasPicture = false;

    /// The artist an album is filed under: the album artist when there is
    /// one, else the artist.
    const std::string& filingArtist() const { return albumArtist.empty() ? artist : albumArtist; }

    bool operator==(const TrackTags&) const = default;
};

} // namespace library
