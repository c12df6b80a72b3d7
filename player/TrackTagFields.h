#pragma once

#include "player/TrackTags.h"

namespace TagLib {
class FileRef;
}

namespace player {

/// What an opened media file's tags and stream properties tell (a WAV
/// file's RIFF INFO fills what its ID3 chunk leaves empty); `readable` is
/// true. The same on every system, whichever way the file was opened.
TrackTags tagsOfFile(const TagLib::FileRef& file);

} // namespace player
