#pragma once

#include "library/PlaylistItem.h"

#include <ostream>

namespace library {

/// Failure messages show items as {"path", "title", length}.
inline void PrintTo(const PlaylistItem& item, std::ostream* out)
{
    *out << "{\"" << item.path << "\", \"" << item.title << "\", " << item.length << "}";
}

} // namespace library
