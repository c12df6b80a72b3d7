#include "library/EntryOrder.h"

#include "library/LibraryPath.h"

namespace library {

namespace {

// -1, 0 or 1 as a sorts before, with or after b in ascending order; 0 for an
// unknown key, which leaves everything equal.
int ascendingCompare(std::int32_t key, const LibraryEntry& a, const LibraryEntry& b)
{
    switch (key) {
    case EntryOrder::byName: {
        const int result = fileNamePart(a.path).compare(fileNamePart(b.path));
        return result < 0 ? -1 : (result > 0 ? 1 : 0);
    }
    case EntryOrder::byModified:
        return compareFileTime(a.modified, b.modified);
    case EntryOrder::bySize:
        return a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
    default:
        return 0;
    }
}

} // namespace

bool EntryOrder::operator()(const LibraryEntry& a, const LibraryEntry& b) const
{
    const int result = ascendingCompare(key, a, b);
    if (direction == ascending)
        return result < 0;
    if (direction == descending)
        return result > 0;
    return false;
}

} // namespace library
