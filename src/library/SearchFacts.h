#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace lucene::index {
class IndexReader;
}

namespace library {

/// What a paged search reads of every document of one complete index, kept
/// in memory so that counting, filtering and sorting a search's hits reads
/// no stored document: per document whether it is a directory and whether
/// the path filter it was read with shows it, its rank among all documents
/// by file-name part (byte order), its size and its last write time; and
/// its place among the documents by each tag a search sorts by.
/// About 17 bytes a document (17 MB for 1,000,000), and 4 more per tag key
/// whose values differ between documents (20 MB more for 1,000,000 tagged
/// tracks). Immutable once read; any thread.
struct SearchFacts {
    static constexpr std::uint8_t directory = 1;
    static constexpr std::uint8_t visible = 2;

    std::vector<std::uint8_t> flags;
    std::vector<std::uint32_t> nameRank;
    std::vector<std::uint32_t> size;
    std::vector<std::uint64_t> modified;
    /// Per document, the place of its value among the distinct values of
    /// the key, in order: equal values share one, so a sort by it leaves
    /// their order alone. Artist, album and title are the stored tag texts
    /// in byte order, duration its milliseconds, track the disc then the
    /// track number. Empty when every document has the same value (an
    /// index without tags): all places are 0 then.
    std::vector<std::uint32_t> artistRank;
    std::vector<std::uint32_t> albumRank;
    std::vector<std::uint32_t> titleRank;
    std::vector<std::uint32_t> durationRank;
    std::vector<std::uint32_t> trackRank;

    /// Reads every document of `reader` (deleted ones count as not visible);
    /// `visible` sees each stored path. Throws the engine's errors.
    static std::shared_ptr<const SearchFacts> read(lucene::index::IndexReader& reader,
                                                   const std::function<bool(std::string_view path)>& visible);
};

} // namespace library
