#pragma once

#include <string>
#include <string_view>

namespace library {

/// The picture file that stands for a folder: "cover", "folder" or "front"
/// (as written, or capitalised, or in upper case) with the extension "jpg",
/// "jpeg", "png" or "webp" (the same three cases), the first of them found
/// as a regular file; empty when there is none. Looks up names only, never
/// lists the folder. Any thread.
std::string folderCoverFile(std::string_view folder);

} // namespace library
