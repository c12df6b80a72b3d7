#pragma once

#include "library/FileEnds.h"
#include "library/TrackTags.h"

#include <optional>

namespace library {

/// The tags and length of an Ogg Vorbis file, read exactly as the tag
/// library reads them: the identification and comment packets from the
/// pages at the start (a comment spanning pages too), and the length from
/// the granule positions of the first page and of the last one, found in
/// the tail as the tag library finds it. Nothing (the caller asks the tag
/// library) for anything it does not fully understand: no "OggS" at the
/// start, other codecs (Opus, Speex, FLAC in Ogg), a header page that ends
/// the stream or reaches past the file, a comment read otherwise, or pages
/// beyond the ends it was given without `readAt`. Pure; any thread.
std::optional<TrackTags> parseOggVorbisTags(const FileEnds& file);

} // namespace library
