#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace library {

/// The prefix of an album path: "album://", the filing artist and "/" and
/// the album, both URL-encoded (so neither holds a "/").
inline constexpr std::string_view albumPrefix = "album://";

/// The first track (by disc, then track number, then file name) of the album
/// that `albumPath` names, among the files of the current index at
/// `indexDirectory` whose path `keep` accepts; empty when the path is no
/// album path, the album has no such track or the index cannot be read.
/// Any thread; nothing throws.
std::string firstAlbumTrack(const std::string& indexDirectory, std::string_view albumPath,
                            const std::function<bool(std::string_view path)>& keep);

} // namespace library
