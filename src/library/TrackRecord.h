#pragma once

#include "library/LibraryEntry.h"
#include "library/TrackTags.h"

namespace library {

/// A media file as the index knows it (or as it was read now): its listing
/// facts and its tags.
struct TrackRecord {
    LibraryEntry entry;
    TrackTags tags;
};

} // namespace library
