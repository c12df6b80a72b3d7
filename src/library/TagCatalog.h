#pragma once

#include "library/IndexStore.h"
#include "library/TrackRecord.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lucene::index {
class IndexReader;
}

namespace library {

/// Browsing the index by tags: the artists, albums, genres and years its
/// browsing keys name, and the tracks of an album or an artist. Reads the
/// last complete index (see IndexStore) through a reader of its own per
/// call; lists come from term enumerations and document counts, stored
/// fields are read only for the albums and tracks answered. The unfiltered
/// artist and album lists are kept for the index they were read from.
///
/// Texts are UTF-8 as the tags give them. Any number of threads at once
/// (the kept lists have a lock of their own, taken alone);
/// nothing throws: a missing index or a failing engine gives empty lists.
class TagCatalog {
public:
    struct ArtistSummary {
        std::string name;
        std::size_t albums = 0;
        std::size_t tracks = 0;
    };
    struct AlbumSummary {
        std::string artist;
        std::string name;
        int year = 0;
        std::size_t tracks = 0;
        std::int64_t durationMs = 0;
        /// Whether a track carries a picture.
        bool hasPicture = false;
        /// The path of its first track in disc and track order (the folder
        /// whose cover file stands for the album).
        std::string firstTrack;
    };
    /// A genre or a year.
    struct GroupSummary {
        std::string name;
        std::size_t albums = 0;
        std::size_t tracks = 0;
    };
    struct AlbumQuery {
        /// Only this filing artist's albums, when `anyArtist` is false.
        bool anyArtist = true;
        std::string artist;
        /// Only albums with a track of this genre / year, when not empty / 0.
        std::string genre;
        int year = 0;
        /// 0 name, 1 artist, 2 year (then artist, then name); others as 0.
        int sortBy = 0;
        std::size_t start = 0;
        std::size_t count = 500;
    };
    using PathFilter = std::function<bool(std::string_view path)>;

    explicit TagCatalog(std::string indexDirectory);
    TagCatalog(const TagCatalog&) = delete;
    TagCatalog& operator=(const TagCatalog&) = delete;

    /// Every filing artist (only those with a track of `genre` when it is
    /// not empty), with its album and track counts, by name ignoring ASCII
    /// case (then byte order). The whole list is kept for the index it was
    /// read from, so it is read again only after a rebuild.
    std::vector<ArtistSummary> artists(std::string_view genre = {}) const;

    /// The albums `query` asks for, sorted and paged; `total` is the number
    /// before paging. All albums by name are kept for the index they were
    /// read from, like the artists. Track counts, year, duration and picture are read for
    /// the page only, of the tracks `keep` accepts.
    std::vector<AlbumSummary> albums(const AlbumQuery& query, std::size_t& total, const PathFilter& keep = {}) const;

    /// The tracks of an album (of a filing artist) that `keep` accepts, in
    /// disc, then track, then file-name order.
    std::vector<TrackRecord> albumTracks(std::string_view artist, std::string_view album,
                                         const PathFilter& keep = {}) const;
    /// All of an artist's tracks that `keep` accepts: album by album (year,
    /// then name), each in disc and track order.
    std::vector<TrackRecord> artistTracks(std::string_view artist, const PathFilter& keep = {}) const;

    /// The genres, by name ignoring ASCII case; the years, ascending. Both
    /// kept for the index they were read from, like the artists.
    std::vector<GroupSummary> genres() const;
    std::vector<GroupSummary> years() const;

    /// Reads the kept listings (every artist, every album by name, the
    /// genres, the years) of the complete index in `folder`, a generation
    /// folder of the store that is current or about to be published, and
    /// keeps them until the first request for that index takes them over.
    /// Meant for the indexing thread, between writing an index and
    /// publishing it; requests meanwhile go on answering from the current
    /// index. False when the engine could not read the folder.
    bool prepare(const std::string& folder) const;

    /// Orders tracks by disc, track, then file name (then whole path).
    static bool trackOrder(const TrackRecord& a, const TrackRecord& b);
    /// `a` before `b` ignoring ASCII case, then by bytes.
    static bool nameOrder(std::string_view a, std::string_view b);

private:
    /// An album as its key names it.
    struct AlbumKey {
        std::wstring key;
        std::string artist;
        std::string name;
        int year = 0;
    };
    using Groups = std::vector<GroupSummary>;
    /// What was read from the index `index` (its folder and version), for
    /// the listings without filters: every artist, every album by name, the
    /// genres and the years. Read and replaced under `cacheLock`; the lists
    /// themselves never change.
    struct Kept {
        std::string index;
        std::shared_ptr<const std::vector<ArtistSummary>> artists;
        std::shared_ptr<const std::vector<AlbumKey>> albumsByName;
        std::shared_ptr<const Groups> genres;
        std::shared_ptr<const Groups> years;
    };
    /// `folder` and the version of the index in it; empty when there is none.
    static std::string identityOf(const std::string& folder);
    /// The current index's folder and version; empty when there is none.
    std::string indexIdentity() const;
    /// What is kept for `index` (nothing kept for another index); what
    /// `prepare` read for it becomes the kept lists then.
    Kept kept(const std::string& index) const;
    /// Keeps the lists `parts` holds for `parts.index`, dropping what was
    /// kept for another index (but not what `prepare` read).
    void remember(Kept parts) const;
    /// The genres or years from the kept lists of the current index, read
    /// from it with `field` when not kept.
    Groups keptGroups(std::shared_ptr<const Groups> Kept::* list, const wchar_t* field) const;

    /// What the listings read, from an open reader.
    static std::vector<ArtistSummary> readArtists(lucene::index::IndexReader& reader, std::string_view genre);
    static std::vector<AlbumKey> readAlbums(lucene::index::IndexReader& reader, const AlbumQuery& query);
    static Groups readGroups(lucene::index::IndexReader& reader, const wchar_t* field);

    IndexStore store;
    mutable std::mutex cacheLock;
    mutable Kept cache;
    /// What `prepare` read for an index requests have not asked for yet.
    mutable Kept prepared;
};

} // namespace library
