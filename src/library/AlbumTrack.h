#pragma once

#include "library/TagCatalog.h"

#include <string>
#include <string_view>

namespace library {

/// The first track (by disc, then track number, then file name) of the album
/// that `albumPath` names (see LibraryPath.h), among the album's tracks in
/// `catalog` that `keep` accepts; empty when the path is no album path, the
/// album has no such track or the index cannot be read. Any thread; nothing
/// throws.
std::string firstAlbumTrack(const TagCatalog& catalog, std::string_view albumPath, const TagCatalog::PathFilter& keep);

} // namespace library
