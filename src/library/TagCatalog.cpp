#include "library/TagCatalog.h"

#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexReading.h"
#include "library/LibraryPath.h"

#include <CLucene.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <tuple>

namespace library {

using lucene::document::Document;
using lucene::index::IndexReader;
using lucene::index::Term;
using reading::forEachDocument;
using reading::forEachTerm;

namespace {

std::wstring albumKey(std::string_view artist, std::string_view album)
{
    return analysis::decodeUtf8IndexForm(artist) + fields::albumKeySeparator + analysis::decodeUtf8IndexForm(album);
}

/// An album key split into its filing artist and album.
std::pair<std::wstring_view, std::wstring_view> splitAlbumKey(std::wstring_view key)
{
    const std::size_t separator = key.find(fields::albumKeySeparator);
    if (separator == std::wstring_view::npos)
        return {key, {}};
    return {key.substr(0, separator), key.substr(separator + 1)};
}

/// Each document's year ("year" terms), 0 where it has none.
std::vector<int> yearOfDocuments(IndexReader& reader)
{
    std::vector<int> years(static_cast<std::size_t>(reader.maxDoc()));
    forEachTerm(reader, fields::year, L"", [&](std::wstring_view year, std::size_t) {
        const int value = static_cast<int>(std::wcstol(std::wstring(year).c_str(), nullptr, 10));
        forEachDocument(reader, fields::year, std::wstring(year),
                        [&](std::int32_t doc) { years[static_cast<std::size_t>(doc)] = value; });
        return true;
    });
    return years;
}

/// Each document's album, as an index into `keys` (the album keys in term
/// order, filled here); -1 where it has none.
std::vector<std::int32_t> albumOfDocuments(IndexReader& reader, std::vector<std::wstring>& keys)
{
    std::vector<std::int32_t> albums(static_cast<std::size_t>(reader.maxDoc()), -1);
    forEachTerm(reader, fields::albumKey, L"", [&](std::wstring_view key, std::size_t) {
        const auto ordinal = static_cast<std::int32_t>(keys.size());
        keys.emplace_back(key);
        forEachDocument(reader, fields::albumKey, keys.back(),
                        [&](std::int32_t doc) { albums[static_cast<std::size_t>(doc)] = ordinal; });
        return true;
    });
    return albums;
}

/// The tracks of the album `key` that `keep` accepts, in track order; with
/// `only`, just the stored fields it loads.
std::vector<TrackRecord> tracksOf(IndexReader& reader, const std::wstring& key, const TagCatalog::PathFilter& keep,
                                  const lucene::document::FieldSelector* only = nullptr)
{
    std::vector<TrackRecord> tracks;
    forEachDocument(reader, fields::albumKey, key, [&](std::int32_t doc) {
        TrackRecord track = reading::readRecord(reader, doc, only);
        if (!keep || keep(track.entry.path))
            tracks.push_back(std::move(track));
    });
    std::sort(tracks.begin(), tracks.end(), TagCatalog::trackOrder);
    return tracks;
}

/// The groups named by the terms of `field`, with their album counts.
std::vector<TagCatalog::GroupSummary> tagGroups(IndexReader& reader, const wchar_t* field)
{
    std::vector<std::wstring> keys;
    const std::vector<std::int32_t> albumOf = albumOfDocuments(reader, keys);
    std::vector<TagCatalog::GroupSummary> out;
    forEachTerm(reader, field, L"", [&](std::wstring_view name, std::size_t tracks) {
        std::vector<std::int32_t> albums;
        forEachDocument(reader, field, std::wstring(name), [&](std::int32_t doc) {
            if (albumOf[static_cast<std::size_t>(doc)] >= 0)
                albums.push_back(albumOf[static_cast<std::size_t>(doc)]);
        });
        std::sort(albums.begin(), albums.end());
        const auto distinct = static_cast<std::size_t>(std::unique(albums.begin(), albums.end()) - albums.begin());
        out.push_back({analysis::encodeUtf8(name), distinct, tracks});
        return true;
    });
    return out;
}

} // namespace

TagCatalog::TagCatalog(std::string indexDirectory) : store(std::move(indexDirectory)) {}

bool TagCatalog::nameOrder(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto [atA, atB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end(),
                                          [&](char x, char y) { return lower(x) == lower(y); });
    if (atA != a.end() && atB != b.end())
        return static_cast<unsigned char>(lower(*atA)) < static_cast<unsigned char>(lower(*atB));
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool TagCatalog::trackOrder(const TrackRecord& a, const TrackRecord& b)
{
    return std::forward_as_tuple(a.tags.disc, a.tags.track, fileNamePart(a.entry.path), a.entry.path) <
           std::forward_as_tuple(b.tags.disc, b.tags.track, fileNamePart(b.entry.path), b.entry.path);
}

std::string TagCatalog::identityOf(const std::string& folder)
{
    // The folder and its version: a folder name may come back after the
    // store was emptied, a version is never the same for another index.
    if (folder.empty())
        return {};
    try {
        return folder + "@" + std::to_string(IndexReader::getCurrentVersion(folder.c_str()));
    } catch (const CLuceneError&) {
        return {};
    }
}

std::string TagCatalog::indexIdentity() const
{
    return identityOf(store.currentIndex());
}

TagCatalog::Kept TagCatalog::kept(const std::string& index) const
{
    std::lock_guard guard(cacheLock);
    if (cache.index != index && prepared.index == index) {
        cache = std::move(prepared);
        prepared = Kept{};
    }
    return cache.index == index ? cache : Kept{};
}

void TagCatalog::remember(Kept parts) const
{
    std::lock_guard guard(cacheLock);
    if (cache.index != parts.index)
        cache = Kept{parts.index, nullptr, nullptr, nullptr, nullptr};
    if (parts.artists)
        cache.artists = std::move(parts.artists);
    if (parts.albumsByName)
        cache.albumsByName = std::move(parts.albumsByName);
    if (parts.genres)
        cache.genres = std::move(parts.genres);
    if (parts.years)
        cache.years = std::move(parts.years);
}

bool TagCatalog::prepare(const std::string& folder) const
{
    const std::string index = identityOf(folder);
    if (index.empty())
        return false;
    if (const Kept known = kept(index); known.artists && known.albumsByName && known.genres && known.years)
        return true;  // requests read them all first
    Kept ready{index, nullptr, nullptr, nullptr, nullptr};
    try {
        const reading::ReaderPtr reader(IndexReader::open(folder.c_str()));
        ready.artists = std::make_shared<const std::vector<ArtistSummary>>(readArtists(*reader, {}));
        ready.albumsByName = std::make_shared<const std::vector<AlbumKey>>(readAlbums(*reader, AlbumQuery{}));
        ready.genres = std::make_shared<const Groups>(readGroups(*reader, fields::genreKey));
        ready.years = std::make_shared<const Groups>(readGroups(*reader, fields::year));
    } catch (const CLuceneError&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
    // An index that is current already (kept unchanged by a rebuild, or
    // read at start) has them taken at once.
    const bool current = indexIdentity() == index;
    std::lock_guard guard(cacheLock);
    (current || cache.index == index ? cache : prepared) = std::move(ready);
    return true;
}

std::vector<TagCatalog::ArtistSummary> TagCatalog::readArtists(IndexReader& reader, std::string_view genre)
{
    std::vector<ArtistSummary> out;
    if (genre.empty()) {
        // The artists in term order, then each album key counted to its
        // artist: consecutive keys share one, so it is looked up (by
        // binary search) only when it changes.
        std::vector<std::wstring> names;
        forEachTerm(reader, fields::artistKey, L"", [&](std::wstring_view name, std::size_t tracks) {
            names.emplace_back(name);
            out.push_back({{}, 0, tracks});
            return true;
        });
        std::wstring_view previous;
        ArtistSummary* counted = nullptr;
        forEachTerm(reader, fields::albumKey, L"", [&](std::wstring_view key, std::size_t) {
            const std::wstring_view artist = splitAlbumKey(key).first;
            if (counted == nullptr || artist != previous) {
                const auto found = std::lower_bound(names.begin(), names.end(), artist);
                counted = found != names.end() && *found == artist ? &out[static_cast<std::size_t>(found - names.begin())] : nullptr;
                previous = counted != nullptr ? std::wstring_view(*found) : std::wstring_view();
            }
            if (counted != nullptr)
                ++counted->albums;
            return true;
        });
        for (std::size_t i = 0; i < names.size(); ++i)
            out[i].name = analysis::encodeUtf8(names[i]);
    } else {
        std::map<std::wstring, ArtistSummary, std::less<>> byName;
        const std::vector<bool> inGenre = reading::documentsWith(reader, fields::genreKey, analysis::decodeUtf8IndexForm(genre));
        forEachTerm(reader, fields::albumKey, L"", [&](std::wstring_view key, std::size_t) {
            std::size_t tracks = 0;
            forEachDocument(reader, fields::albumKey, std::wstring(key), [&](std::int32_t doc) {
                tracks += inGenre[static_cast<std::size_t>(doc)] ? 1 : 0;
            });
            if (tracks > 0) {
                ArtistSummary& artist = byName[std::wstring(splitAlbumKey(key).first)];
                ++artist.albums;
                artist.tracks += tracks;
            }
            return true;
        });
        for (auto& [name, summary] : byName) {
            summary.name = analysis::encodeUtf8(name);
            out.push_back(std::move(summary));
        }
    }
    std::sort(out.begin(), out.end(), [](const ArtistSummary& a, const ArtistSummary& b) { return nameOrder(a.name, b.name); });
    return out;
}

std::vector<TagCatalog::ArtistSummary> TagCatalog::artists(std::string_view genre) const
{
    const std::string index = genre.empty() ? indexIdentity() : std::string();
    if (!index.empty()) {
        if (const Kept known = kept(index); known.artists)
            return *known.artists;
    }
    std::vector<ArtistSummary> out;
    reading::withReader(store, [&](IndexReader& reader) { out = readArtists(reader, genre); });
    if (!index.empty())
        remember({index, std::make_shared<const std::vector<ArtistSummary>>(out), nullptr, nullptr, nullptr});
    return out;
}

std::vector<TagCatalog::AlbumKey> TagCatalog::readAlbums(IndexReader& reader, const AlbumQuery& query)
{
    using Candidate = AlbumKey;
    std::vector<Candidate> candidates;
    const std::wstring prefix = query.anyArtist ? std::wstring() : analysis::decodeUtf8IndexForm(query.artist) + fields::albumKeySeparator;
    forEachTerm(reader, fields::albumKey, prefix, [&](std::wstring_view key, std::size_t) {
        if (!key.starts_with(prefix))
            return false;
        const auto [artist, album] = splitAlbumKey(key);
        candidates.push_back({std::wstring(key), analysis::encodeUtf8(artist), analysis::encodeUtf8(album), 0});
        return true;
    });
    // Years and genres are read per document only when asked for.
    if (!query.genre.empty() || query.year != 0 || query.sortBy == 2) {
        const std::vector<int> yearOf = yearOfDocuments(reader);
        const std::vector<bool> inGenre = query.genre.empty()
                                              ? std::vector<bool>()
                                              : reading::documentsWith(reader, fields::genreKey, analysis::decodeUtf8IndexForm(query.genre));
        std::erase_if(candidates, [&](Candidate& candidate) {
            bool genreMatch = query.genre.empty();
            bool yearMatch = query.year == 0;
            forEachDocument(reader, fields::albumKey, candidate.key, [&](std::int32_t doc) {
                const int year = yearOf[static_cast<std::size_t>(doc)];
                if (candidate.year == 0)
                    candidate.year = year;
                genreMatch = genreMatch || inGenre[static_cast<std::size_t>(doc)];
                yearMatch = yearMatch || year == query.year;
            });
            return !genreMatch || !yearMatch;
        });
    }
    auto byName = [](const Candidate& a, const Candidate& b) {
        if (a.name != b.name)
            return nameOrder(a.name, b.name);
        return nameOrder(a.artist, b.artist);
    };
    auto byArtist = [&](const Candidate& a, const Candidate& b) {
        if (a.artist != b.artist)
            return nameOrder(a.artist, b.artist);
        return byName(a, b);
    };
    if (query.sortBy == 1)
        std::sort(candidates.begin(), candidates.end(), byArtist);
    else if (query.sortBy == 2)
        std::sort(candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
            return a.year != b.year ? a.year < b.year : byArtist(a, b);
        });
    else
        std::sort(candidates.begin(), candidates.end(), byName);
    return candidates;
}

std::vector<TagCatalog::AlbumSummary> TagCatalog::albums(const AlbumQuery& query, std::size_t& total,
                                                         const PathFilter& keep) const
{
    std::vector<AlbumSummary> out;
    total = 0;
    // Every album by name, the grid's order, is kept between calls.
    const bool everyAlbumByName =
        query.anyArtist && query.genre.empty() && query.year == 0 && query.sortBy != 1 && query.sortBy != 2;
    const std::string index = everyAlbumByName ? indexIdentity() : std::string();
    std::shared_ptr<const std::vector<AlbumKey>> known = index.empty() ? nullptr : kept(index).albumsByName;
    reading::withReader(store, [&](IndexReader& reader) {
        if (!known) {
            known = std::make_shared<const std::vector<AlbumKey>>(readAlbums(reader, query));
            if (!index.empty())
                remember({index, nullptr, known, nullptr, nullptr});
        }
        const std::vector<AlbumKey>& candidates = *known;
        total = candidates.size();
        const std::size_t first = std::min(query.start, candidates.size());
        const std::size_t last = first + std::min(query.count, candidates.size() - first);
        for (std::size_t i = first; i < last; ++i) {
            // A summary takes a few of each track's stored fields; the rest
            // (most of the bytes: the tag texts) are skipped.
            const std::vector<TrackRecord> tracks = tracksOf(reader, candidates[i].key, keep, &reading::summaryFields());
            AlbumSummary album{candidates[i].artist, candidates[i].name, 0, tracks.size(), 0, false, {}};
            for (const TrackRecord& track : tracks) {
                album.durationMs += track.tags.durationMs;
                album.hasPicture = album.hasPicture || track.tags.hasPicture;
                if (album.year == 0)
                    album.year = track.tags.year;
            }
            if (!tracks.empty())
                album.firstTrack = tracks.front().entry.path;
            out.push_back(std::move(album));
        }
    });
    return out;
}

std::vector<TrackRecord> TagCatalog::albumTracks(std::string_view artist, std::string_view album,
                                                 const PathFilter& keep) const
{
    std::vector<TrackRecord> tracks;
    reading::withReader(store, [&](IndexReader& reader) { tracks = tracksOf(reader, albumKey(artist, album), keep); });
    return tracks;
}

std::vector<TrackRecord> TagCatalog::artistTracks(std::string_view artist, const PathFilter& keep) const
{
    AlbumQuery query;
    query.anyArtist = false;
    query.artist = std::string(artist);
    query.sortBy = 2;
    query.count = static_cast<std::size_t>(-1);
    std::size_t total = 0;
    std::vector<TrackRecord> tracks;
    for (const AlbumSummary& album : albums(query, total)) {
        std::vector<TrackRecord> ofAlbum = albumTracks(artist, album.name, keep);
        std::move(ofAlbum.begin(), ofAlbum.end(), std::back_inserter(tracks));
    }
    return tracks;
}

TagCatalog::Groups TagCatalog::readGroups(IndexReader& reader, const wchar_t* field)
{
    Groups out = tagGroups(reader, field);
    if (std::wcscmp(field, fields::year) != 0) {
        std::sort(out.begin(), out.end(), [](const GroupSummary& a, const GroupSummary& b) { return nameOrder(a.name, b.name); });
        return out;
    }
    std::erase_if(out, [](const GroupSummary& year) { return std::atoi(year.name.c_str()) == 0; });
    std::sort(out.begin(), out.end(), [](const GroupSummary& a, const GroupSummary& b) {
        return std::atoi(a.name.c_str()) < std::atoi(b.name.c_str());
    });
    return out;
}

TagCatalog::Groups TagCatalog::keptGroups(std::shared_ptr<const Groups> Kept::* list, const wchar_t* field) const
{
    const std::string index = indexIdentity();
    if (!index.empty()) {
        if (const Kept known = kept(index); known.*list)
            return *(known.*list);
    }
    Groups out;
    reading::withReader(store, [&](IndexReader& reader) { out = readGroups(reader, field); });
    if (!index.empty()) {
        Kept parts{index, nullptr, nullptr, nullptr, nullptr};
        parts.*list = std::make_shared<const Groups>(out);
        remember(std::move(parts));
    }
    return out;
}

std::vector<TagCatalog::GroupSummary> TagCatalog::genres() const
{
    return keptGroups(&Kept::genres, fields::genreKey);
}

std::vector<TagCatalog::GroupSummary> TagCatalog::years() const
{
    return keptGroups(&Kept::years, fields::year);
}

} // namespace library
