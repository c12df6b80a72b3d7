#pragma once

#include <string>
#include <string_view>

namespace library {

/// The picture file that stands for a folder, the one the "cover" route
/// serves first: "cover", "folder" or "front" with the extension "jpg",
/// "jpeg", "png" or "webp", in any case (see coverImageRank), a regular
/// file; empty when there is none. Reads the folder's names once. Any
/// thread.
std::string folderCoverFile(std::string_view folder);

} // namespace library
