#pragma once

#include "library/IndexStore.h"
#include "library/LibraryEntry.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {
class FilenameAnalyzer;
}

namespace library {

/// Answers search paths from the index the `Indexer` built. The query text
/// is the search engine's query language (terms, "quoted phrases", "*" and
/// "?" wildcards, "+" and "-", AND/OR/NOT, parentheses) over the "name"
/// field, read through the file-name analyzer, with AND between terms that
/// name no operator. Text is UTF-8 (see analysis/WideText.h).
///
/// Threads: `search` runs on any number of request threads at once; each
/// opens a searcher of its own on the last complete index, so a rebuild in
/// progress does not change what it sees. Nothing throws.
class LibrarySearch {
public:
    static constexpr std::size_t maximumEntries = 500;

    /// The index lives below `indexDirectory` (see IndexStore).
    explicit LibrarySearch(std::string indexDirectory);
    ~LibrarySearch();
    LibrarySearch(const LibrarySearch&) = delete;
    LibrarySearch& operator=(const LibrarySearch&) = delete;

    /// Which indexed paths a search may show; called on the searching thread.
    using PathFilter = std::function<bool(std::string_view path)>;

    /// Appends the best matches of `query` in relevance order (only
    /// directories with `foldersOnly`, and only paths `keep` accepts when it
    /// is given), at most 500, with path, attributes and size as indexed and
    /// modified 0; returns how many were appended. A match passed over does
    /// not count towards the 500. An empty query, a missing index, a query
    /// that does not parse or any other failure of the engine appends nothing
    /// more (what was appended before the failure stays).
    std::size_t search(std::string_view query, bool foldersOnly, std::vector<LibraryEntry>& entries,
                       const PathFilter& keep = {}) const;

private:
    IndexStore store;
    std::unique_ptr<lucene::analysis::filename::FilenameAnalyzer> analyzer;
};

} // namespace library
