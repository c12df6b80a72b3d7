#pragma once

#include "library/FileEnds.h"
#include "library/TrackTags.h"

#include <optional>

namespace library {

/// The tags and length of a FLAC file, read from its metadata blocks
/// exactly as the tag library reads them: the Vorbis comment, the picture
/// blocks, and the length from STREAMINFO's sample count and rate. Nothing
/// (the caller asks the tag library) for anything it does not fully
/// understand: no "fLaC" at the start (an ID3v2 tag before it), an ID3v1
/// tag at the end, a block the file does not hold, a STREAMINFO the tag
/// library would find no audio in, a comment block it reads otherwise, or
/// blocks beyond the ends it was given without `readAt`. Pure; any thread.
std::optional<TrackTags> parseFlacTags(const FileEnds& file);

} // namespace library
