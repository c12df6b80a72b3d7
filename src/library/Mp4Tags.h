#pragma once

#include "library/FileEnds.h"
#include "library/TrackTags.h"

#include <optional>

namespace library {

/// The tags and length of an MP4 audio file (m4a, mp4) from its ends,
/// exactly as the tag library's fast reading gives them through
/// `TagReader`: the atom tree (the whole of it, as the tag library walks
/// it), the first sound track's media header for the length and its sample
/// description (AAC or ALAC) for the rate, and the items of
/// moov/udta/meta/ilst (©ART, aART, ©alb, ©nam, ©gen and gnre, trkn, disk,
/// ©day, covr). Nothing (the file is left to the tag library) for anything
/// it does not fully understand: an atom that runs past its parent or the
/// file, 64-bit or open-ended sizes, nesting too deep, an item whose data
/// it cannot read whole, text that is not UTF-8. Reads what lies beyond
/// the ends through `ends.readAt`; no other I/O; nothing throws.
std::optional<TrackTags> parseMp4Tags(const FileEnds& ends);

} // namespace library
