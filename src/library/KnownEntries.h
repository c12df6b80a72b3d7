#pragma once

#include "library/TrackTags.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::index {
class IndexReader;
}

namespace library {

/// What the last complete index knew of each entry: its path, attributes,
/// size and modification time, kept compact (one text of all paths and 32
/// bytes an entry), read from the index's facts file (library/EntryFacts.h)
/// or, for an index without one, from its stored documents; the index itself
/// is opened when a rebuild first reuses an entry's stored tags.
///
/// Made and used by the indexing thread only. Reads the index folder it was
/// loaded from, which the store keeps until the next rebuild begins. Nothing
/// throws: an index that cannot be read gives an empty table.
class KnownEntries {
public:
    /// The facts a rebuild compares.
    struct Facts {
        std::uint32_t attributes = 0;
        std::uint32_t size = 0;
        std::uint64_t modified = 0;
        bool operator==(const Facts&) const = default;
    };

    KnownEntries();
    KnownEntries(KnownEntries&&) noexcept;
    KnownEntries& operator=(KnownEntries&&) noexcept;
    ~KnownEntries();

    /// The entries of the index in `indexFolder`; empty when the folder is
    /// empty text, cannot be read, or any of its documents lacks a
    /// modification time (an index of an older version).
    static KnownEntries load(const std::string& indexFolder);

    std::size_t size() const { return known.size(); }
    bool empty() const { return known.empty(); }

    /// The entry's document number when the index knew `path` with exactly
    /// `facts`; -1 otherwise. A crawl of an unchanged tree meets its entries
    /// in the order the index holds them: each is looked for first just after
    /// the last one found, and by its path only when not there.
    std::int32_t find(std::string_view path, const Facts& facts) const;

    /// Puts the tags stored with document `number` (from `find` for `path`)
    /// in `tags`, nothing when it holds none. False when that document cannot
    /// be read or is not `path`'s: the file's tags are to be read afresh.
    bool tags(std::int32_t number, std::string_view path, std::optional<TrackTags>& tags) const;

private:
    struct Known {
        std::uint32_t pathOffset;
        std::uint32_t pathLength;
        std::int32_t document;
        Facts facts;
    };
    struct CloseReader {
        void operator()(lucene::index::IndexReader* reader) const;
    };

    std::string_view pathOf(const Known& entry) const { return {paths.data() + entry.pathOffset, entry.pathLength}; }

    /// The index, opened at the first call of `tags` unless open already;
    /// false when it cannot be.
    bool openReader() const;
    /// Fills the table from the index's stored documents; false when any
    /// cannot be read or lacks a modification time.
    bool loadDocuments();
    void add(std::string_view path, std::int32_t document, const Facts& facts);

    /// The entry at `path` or past the end, by the sorted order (made now
    /// unless made already).
    const Known* byPath(std::string_view path) const;

    std::string folder;
    std::string paths;
    /// In the order of the index's documents.
    std::vector<Known> known;
    /// Places in `known`, sorted by path; made at the first entry not met in order.
    mutable std::vector<std::uint32_t> sorted;
    /// Where in `known` the next entry is looked for first.
    mutable std::size_t next = 0;
    mutable std::unique_ptr<lucene::index::IndexReader, CloseReader> reader;
    mutable bool readerFailed = false;
};

} // namespace library
