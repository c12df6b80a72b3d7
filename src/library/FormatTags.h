#pragma once

#include "library/TrackTags.h"

namespace TagLib {
class File;
}

namespace library {

/// Reads the album artist and the disc number of `file` straight from the
/// tag its format keeps them in (ID3v2 in MPEG, the Vorbis comment of FLAC
/// and Ogg, the MP4 item list), into `tags`. False, with `tags` unchanged,
/// for any other format or when that tag is missing or holds none of the
/// common fields: the caller then asks the format-independent property map,
/// which gives the same values at several times the cost. Any thread (one
/// file per call); nothing throws.
bool readAlbumArtistAndDisc(TagLib::File& file, TrackTags& tags);

} // namespace library
