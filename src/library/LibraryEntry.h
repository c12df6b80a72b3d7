#pragma once

#include "library/FindData.h"

#include <cstdint>
#include <string>

namespace library {

/// One line of a library listing: a file or directory, or a search hit.
struct LibraryEntry {
    /// Full path of the file or directory (or the URL or query path it came
    /// from), bytes as the file system gives them.
    std::string path;
    /// Attribute bits; `FindData::directoryAttribute` marks a directory.
    std::uint32_t attributes = 0;
    /// Last write; 0 for search hits (the index keeps no time).
    FileTime modified;
    /// Low 32 bits of the size in bytes.
    std::uint32_t size = 0;

    bool isDirectory() const { return (attributes & FindData::directoryAttribute) != 0; }
};

} // namespace library
