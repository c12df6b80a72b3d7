#pragma once

#include "library/TrackTags.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace library {

/// Reads a Vorbis comment block (vendor, then "KEY=value" fields), the tag
/// of FLAC and Ogg Vorbis files, exactly as the tag library reads it: keys
/// without case, the values of a repeated artist, album, title or genre
/// joined by a blank, the leading numbers of TRACKNUMBER ("3/12"),
/// DISCNUMBER and DATE ("2001-05-03"), the first ALBUMARTIST, and whether
/// a METADATA_BLOCK_PICTURE or COVERART field holds a picture the tag
/// library takes. The length is left 0. Nothing when the block is damaged
/// (a length past its end, more fields than it can hold) or holds a number
/// whose reading could depend on the locale: the caller declines the file.
/// Any thread; nothing throws but allocation.
std::optional<TrackTags> parseVorbisComments(std::string_view block);

/// Whether `known`, the first bytes of a FLAC picture block of `size` bytes,
/// is a picture block the tag library takes (its type, MIME type,
/// description, sizes and data length all inside it). Nothing when that
/// needs bytes beyond `known`, or when the tag library's own 32-bit sums
/// would wrap.
std::optional<bool> pictureBlockParses(std::string_view known, std::uint64_t size);

} // namespace library
