#pragma once

#include "library/IndexStore.h"
#include "library/LibraryEntry.h"
#include "library/TrackTags.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {
class SearchAnalyzer;
}
namespace lucene::document {
class Document;
}
namespace lucene::index {
class IndexReader;
}

namespace library {

/// The tags the last complete index stored for files a listing shows, so a
/// folder's facts need not be read from its files. The index keeps no key
/// by path: a file is found by the terms of its name, then its stored path.
/// Any number of threads at once (a reader of its own per call); nothing
/// throws: a missing index or a failing engine knows nothing.
class IndexedFileTags {
public:
    explicit IndexedFileTags(std::string indexDirectory);
    ~IndexedFileTags();
    IndexedFileTags(const IndexedFileTags&) = delete;
    IndexedFileTags& operator=(const IndexedFileTags&) = delete;

    /// For each of `files` (local files as listed), the tags the index
    /// stored for it when it holds the same path with the same size and
    /// modification time; nothing for the others and for files whose tags
    /// were never read. Each file is looked up by the terms of its name and
    /// its stored path compared.
    std::vector<std::optional<TrackTags>> knownTags(const std::vector<LibraryEntry>& files) const;

private:
    /// The first document holding every term of `name` (as the name field
    /// splits it: the search's analysis, whose query side gives terms the
    /// index side gave too) that `matches` accepts, among the first `maxCandidates`
    /// holding its rarest term.
    std::optional<std::int32_t> documentNamed(lucene::index::IndexReader& reader, std::string_view name,
                                              const std::function<bool(const lucene::document::Document&)>& matches) const;
    static constexpr int maxCandidates = 256;

    IndexStore store;
    /// Splits names into the name field's terms; keeps no state between texts.
    std::unique_ptr<lucene::analysis::filename::SearchAnalyzer> analyzer;
};

} // namespace library
