#pragma once

#include "library/IndexStore.h"
#include "library/LibraryEntry.h"
#include "library/TrackRecord.h"
#include "library/SearchFacts.h"
#include "library/TrackTags.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::analysis::filename {
class SearchAnalyzer;
}

namespace library {

/// Answers search paths from the index the `Indexer` built. The query text
/// is the search engine's query language (terms, "quoted phrases", "*" and
/// "?" wildcards, "+" and "-", AND/OR/NOT, parentheses) over the "name"
/// field (or a tag field named as "artist:", "album:", "title:", "genre:",
/// "year:"), read through the search analyzer (accents folded, CJK runs in
/// pairs, see analysis/SearchAnalyzer.h), with AND between terms that name
/// no operator. Text is UTF-8 (see analysis/WideText.h).
///
/// Threads: `search` and `find` run on any number of request threads at once; each
/// opens a searcher of its own on the last complete index, so a rebuild in
/// progress does not change what it sees. Nothing throws.
class LibrarySearch {
public:
    static constexpr std::size_t maximumEntries = 500;

    /// The sort keys of `find`, those of a folder listing with facts.
    enum class SortKey { relevance = -1, name, modified, size, duration, artist, album, title, track };

    struct FindRequest {
        bool foldersOnly = false;
        /// The page: hits `start` to `start + count - 1` of the sorted whole.
        std::size_t start = 0;
        std::size_t count = 100;
        /// Relevance: best score first, equal scores in index order. Name:
        /// the file-name part of the path, byte for byte. Modified, size,
        /// duration: as numbers. Artist, album, title: the tag texts byte for
        /// byte. Track: disc, then track number. Hits that tie keep their
        /// relevance order; `descending` reverses the key, not the ties.
        SortKey sortBy = SortKey::relevance;
        bool descending = false;
    };

    /// A hit with what the index knows of it.
    /// A hit: path, attributes, size and modified as indexed (modified 0
    /// when the index holds no time), and the tags as indexed (empty when the
    /// index holds none).
    using Hit = TrackRecord;

    struct Page {
        /// Every hit the search may show (after `foldersOnly` and the path
        /// filter), not only the page's.
        std::size_t total = 0;
        std::vector<Hit> hits;
    };

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

    /// One page of the matches of `query` in the order `request` asks for,
    /// and their number; the same hits `search` would see, without its 500
    /// cap. Any failure of the engine (no index, a query that does not
    /// parse) gives an empty page with total 0.
    ///
    /// The first call on a new index (or with another `keepIdentity`) reads
    /// every document once (see SearchFacts); later ones read only the
    /// page's documents, whatever they sort by.
    /// `keepIdentity` names what `keep` answers (a different text whenever
    /// its answers may change); without one a `keep` is asked per search.
    Page find(std::string_view query, const FindRequest& request, const PathFilter& keep = {},
              std::string_view keepIdentity = {}) const;

    /// Reads the facts `find` needs (see SearchFacts) of the complete index
    /// in `folder`, a generation folder of the store that is current or about
    /// to be published, with `keep` named `keepIdentity`, and keeps them until
    /// the first `find` on that index with that identity takes them over.
    /// Meant for the indexing thread before it publishes, so that the first
    /// search after a rebuild reads no document it does not show. False when
    /// the engine could not read the folder.
    bool prepare(const std::string& folder, const PathFilter& keep, std::string_view keepIdentity) const;

private:
    /// The facts of the index at `index`, read with `keep` unless those
    /// known were read of the same index and identity.
    std::shared_ptr<const SearchFacts> factsOf(const std::string& index, lucene::index::IndexReader& reader,
                                               const PathFilter& keep, std::string_view keepIdentity) const;

    IndexStore store;
    std::unique_ptr<lucene::analysis::filename::SearchAnalyzer> analyzer;

    /// Facts read of one index (its folder) with one filter identity.
    struct KeptFacts {
        std::string index;
        std::string keep;
        std::shared_ptr<const SearchFacts> facts;
    };
    /// The facts of the last index a paged search read, shared by searches;
    /// and those `prepare` read of an index no search has used yet.
    mutable std::mutex factsLock;
    mutable KeptFacts kept;
    mutable KeptFacts prepared;
};

} // namespace library
