#pragma once

#include "library/TrackTags.h"

#include <optional>

namespace lucene::document {
class Document;
}

namespace library {

class DocumentFields;

/// The tag fields of an index document (names in IndexFields.h): what
/// `addTagFields` writes, `storedTags` reads back. Any thread; nothing throws
/// but the search engine's own errors.

/// Adds the tags to `document`: texts stored and indexed through the
/// writer's analyzer, the year stored and indexed whole, track, disc and
/// duration stored, the browse keys indexed whole. Empty texts and zero
/// numbers are left out, except the duration, which every file whose tags
/// were read carries.
void addTagFields(DocumentFields& document, const TrackTags& tags);

/// The tags stored in `document`; nothing when it holds none (its file was
/// never read, or the tag library could not read it).
std::optional<TrackTags> storedTags(const lucene::document::Document& document);

} // namespace library
