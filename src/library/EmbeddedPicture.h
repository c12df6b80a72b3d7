#pragma once

#include <cstddef>
#include <string>

namespace library {

/// The picture embedded in the media file at `path` (opened without waiting;
/// anything but a regular file has none): an ID3v2 attached picture (MP3,
/// WAV; the front cover when there are several), a FLAC picture block, a
/// picture in a Vorbis comment (Ogg Vorbis, Opus, FLAC in Ogg), an MP4
/// "covr" item or a WMA picture attribute. The encoded image bytes as stored;
/// empty when there is none, when it is larger than `maximumPictureBytes`, or
/// when the file cannot be read. The file type is chosen by the name's
/// extension; the path is UTF-8 on Windows. Any thread; nothing throws.
std::string embeddedPicture(const std::string& path);

/// Pictures larger than this are not taken (no cover is that large).
inline constexpr std::size_t maximumPictureBytes = 16u << 20;

} // namespace library
