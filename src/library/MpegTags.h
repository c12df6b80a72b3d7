#pragma once

#include "library/FileEnds.h"
#include "library/TrackTags.h"

#include <optional>

namespace library {

/// The tags and length of an MPEG audio file (mp3) from its ends, exactly as
/// the tag library's fast reading gives them through `TagReader`: the ID3v2
/// tag at its start (versions 2.3 and 2.4), an ID3v1 tag at its end for what
/// the first does not say, and the length from the first audio frame (its
/// Xing, Info or VBRI frame count, else the constant bit rate over the
/// frames' span). Nothing (the file is left to the tag library) for
/// anything it does not fully understand: another tag version or layout, an
/// APE tag, a file that does not begin with a tag or an audio frame, audio
/// it cannot find near the tags. No I/O but `ends.readAt`; nothing throws.
std::optional<TrackTags> parseMpegTags(const FileEnds& ends);

} // namespace library
