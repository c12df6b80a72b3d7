#pragma once

#include "library/LibraryEntry.h"

#include <cstdint>

namespace library {

/// The listing sort: a strict weak order over `LibraryEntry` for std::sort.
/// Key 0 compares the file-name parts of the paths byte for byte
/// (case-sensitive, a proper prefix first), 1 the modification times, 2 the
/// sizes (unsigned); direction 0 is ascending, 1 descending. Any other key or
/// direction orders nothing before anything, so every entry compares equal.
class EntryOrder {
public:
    enum Key : std::int32_t { byName = 0, byModified = 1, bySize = 2 };
    enum Direction : std::int32_t { ascending = 0, descending = 1 };

    EntryOrder(std::int32_t key, std::int32_t direction) : key(key), direction(direction) {}

    /// True when `a` goes before `b`.
    bool operator()(const LibraryEntry& a, const LibraryEntry& b) const;

    std::int32_t key;
    std::int32_t direction;
};

} // namespace library
