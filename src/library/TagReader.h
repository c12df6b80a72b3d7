#pragma once

#include "library/TrackTags.h"

#include <optional>
#include <string>

namespace library {

/// Reads the tags and the audio length of the media file at `path` (bytes as
/// the file system gives them; UTF-8 on Windows). Nothing when the file
/// cannot be opened or is not a media file the tag library knows; a file it
/// knows without tags gives empty tags with whatever length it can tell. Any
/// thread; nothing throws.
std::optional<TrackTags> readTrackTags(const std::string& path);

} // namespace library
