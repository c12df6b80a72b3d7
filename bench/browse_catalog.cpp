// Browsing by tags over an index of 1,000,000 tracks (20,000 artists of 5
// albums of 10 tracks, written as the indexer writes them: names, facts,
// tags, browse keys; then optimized). In one run, each timed as median and
// 99th percentile of repeated calls, with the answer text written:
//  - the reference: a names-only search of one common term through the
//    search engine alone (a searcher opened per search, its list of hits,
//    500 stored paths read), and the same search as "library.js" lists it;
//  - the artists listing (all 20,000 artists with their album and track
//    counts read, the first 500 written as "artists.js" answers by
//    default), the first after a rebuild (read from the index) and again
//    (kept), and the first after a rebuild that prepared it before
//    publishing the index (with the preparation's own time);
//  - the genres listing, first after a rebuild, and prepared;
//  - an album page (its tracks in disc and track order, as entry objects);
//  - the albums of one artist, and a page of 500 of all albums by name
//    (the first after a rebuild, prepared, and again), and the 120 the client's
//    album grid asks for first, then the 5,000 it shows at most.
// Prints a table with the ratios against the reference and the process's
// peak resident memory. Usage: bench_browse_catalog [index-folder [runs]]
// (an index folder that holds an index already is reused).
#include "ReferenceIndex.h"
#include "TaggedIndex.h"
#include "Timing.h"
#include "analysis/FilenameAnalyzer.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/LibraryPath.h"
#include "library/LibrarySearch.h"
#include "library/TagCatalog.h"
#include "library/TagFields.h"
#include "webapp/TrackEntryText.h"

#include <CLucene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;
using lucene::document::Field;

using bench::albumName;
using bench::artistCount;
using bench::artistName;

struct Timing {
    double median = 0;
    double p99 = 0;
};

/// `work()` timed, after an untimed `setUp()` before each run.
template <typename Work, typename SetUp> Timing timed(int runs, Work work, SetUp setUp)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        setUp();
        const auto start = Clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

template <typename Work> Timing timed(int runs, Work work)
{
    return timed(runs, work, [] {});
}

/// Keeps the compiler from dropping a result.
std::size_t sink = 0;

} // namespace

int main(int argc, char** argv)
{
    const std::string folder = argc > 1 ? argv[1] : (std::filesystem::temp_directory_path() / "tunelet-browse-bench").string();
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    std::filesystem::create_directories(folder);
    if (library::IndexStore(folder).currentIndex().empty()) {
        const auto start = Clock::now();
        bench::writeTaggedIndex(folder, "/music");
        std::printf("index of %d tracks written in %.1f s\n", bench::trackCount,
                    std::chrono::duration<double>(Clock::now() - start).count());
    }
    const library::LibrarySearch search(folder);
    const library::TagCatalog catalog(folder);

    const std::string loadBefore = bench::loadAverages();
    const std::string current = library::IndexStore(folder).currentIndex();
    lucene::analysis::filename::FilenameAnalyzer names;
    const Timing reference = timed(runs, [&] { sink += bench::referenceSearch(current, "love", false, names); });
    const Timing legacy = timed(runs, [&] {
        std::vector<library::LibraryEntry> hits;
        search.search("love", false, hits);
        std::string text;
        for (const library::LibraryEntry& hit : hits)
            text += webapp::quotedField("path", hit.path);
        sink += text.size();
    });
    const Timing open = timed(runs, [&] {
        lucene::index::IndexReader* reader = lucene::index::IndexReader::open(current.c_str());
        sink += static_cast<std::size_t>(reader->maxDoc());
        reader->close();
        delete reader;
    });
    auto listArtists = [&](const library::TagCatalog& from) {
        std::string text;
        const std::vector<library::TagCatalog::ArtistSummary> all = from.artists();
        // The answer holds a page: 500, as "artists.js" writes by default.
        for (const library::TagCatalog::ArtistSummary& artist :
             std::vector<library::TagCatalog::ArtistSummary>(all.begin(), all.begin() + std::min<std::size_t>(500, all.size())))
            text += webapp::quotedField("name", artist.name) + webapp::quotedField("albums", std::to_string(artist.albums)) +
                    webapp::quotedField("tracks", std::to_string(artist.tracks)) +
                    webapp::quotedField("path", library::artistPath(artist.name));
        sink += text.size();
    };
    // A catalog of its own per run: the first listing after a rebuild, as
    // read on the request's thread, and as a rebuild leaves it prepared
    // before publishing the index (the preparation itself timed on its own).
    const Timing firstArtists = timed(runs, [&] { listArtists(library::TagCatalog(folder)); });
    std::unique_ptr<library::TagCatalog> fresh;
    const Timing prepare = timed(std::max(1, runs / 3), [&] { fresh->prepare(current); },
                                 [&] { fresh = std::make_unique<library::TagCatalog>(folder); });
    auto prepared = [&] {
        fresh = std::make_unique<library::TagCatalog>(folder);
        fresh->prepare(current);
    };
    const Timing preparedArtists = timed(runs, [&] { listArtists(*fresh); }, prepared);
    auto listGenres = [&](const library::TagCatalog& from) {
        std::string text;
        for (const library::TagCatalog::GroupSummary& genre : from.genres())
            text += webapp::quotedField("name", genre.name) + webapp::quotedField("albums", std::to_string(genre.albums));
        sink += text.size();
    };
    const Timing firstGenres = timed(std::max(1, runs / 3), [&] { listGenres(library::TagCatalog(folder)); });
    const Timing preparedGenres = timed(runs, [&] { listGenres(*fresh); }, prepared);
    listArtists(catalog);
    const Timing artists = timed(runs, [&] { listArtists(catalog); });
    int next = 0;
    const Timing album = timed(runs, [&] {
        const int artist = (next++ * 7919) % artistCount;
        std::string text;
        for (const library::TrackRecord& track : catalog.albumTracks(artistName(artist), albumName(artist, 2)))
            text += webapp::trackEntryText(track, "");
        sink += text.size();
    });
    const Timing ofArtist = timed(runs, [&] {
        library::TagCatalog::AlbumQuery query;
        query.anyArtist = false;
        query.artist = artistName((next++ * 7919) % artistCount);
        std::size_t total = 0;
        sink += catalog.albums(query, total).size();
    });
    auto listAlbums = [&](const library::TagCatalog& from, std::size_t count = 500) {
        library::TagCatalog::AlbumQuery query;
        query.count = count;
        std::size_t total = 0;
        sink += from.albums(query, total).size();
    };
    const Timing firstAlbums = timed(std::max(1, runs / 3), [&] { listAlbums(library::TagCatalog(folder)); });
    const Timing preparedAlbums = timed(std::max(1, runs / 3), [&] { listAlbums(*fresh); }, prepared);
    listAlbums(catalog);
    const Timing allAlbums = timed(runs, [&] { listAlbums(catalog); });
    const Timing gridFirst = timed(runs, [&] { listAlbums(catalog, 120); });
    const Timing gridAlbums = timed(std::max(1, runs / 3), [&] { listAlbums(catalog, 5000); });

    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%-44s %10s %10s %8s\n", "1,000,000 tracks, answer text written", "median ms", "p99 ms", "p99/ref");
    const std::pair<const char*, Timing> rows[] = {
        {"reference: the engine's search, 500 paths", reference},
        {"names-only search as library.js, 500 hits", legacy},
        {"an index reader opened and closed", open},
        {"artists listing, first after a rebuild", firstArtists},
        {"  the same, prepared before publishing", preparedArtists},
        {"  (the preparation, on the indexing thread)", prepare},
        {"artists listing, again", artists},
        {"genres listing, first after a rebuild", firstGenres},
        {"  the same, prepared before publishing", preparedGenres},
        {"album page (10 tracks)", album},
        {"albums of one artist", ofArtist},
        {"500 of 100,000 albums by name, first", firstAlbums},
        {"  the same, prepared before publishing", preparedAlbums},
        {"500 of 100,000 albums by name, again", allAlbums},
        {"120 of 100,000 albums by name (grid, first)", gridFirst},
        {"5,000 of 100,000 albums by name, again", gridAlbums},
    };
    for (const auto& [name, timing] : rows)
        std::printf("%-44s %10.2f %10.2f %8.2f\n", name, timing.median, timing.p99, timing.p99 / reference.p99);
    std::printf("load averages (/proc/loadavg): %s before, %s after\n", loadBefore.c_str(), bench::loadAverages().c_str());
    std::printf("peak resident memory: %ld MB (%zu)\n", usage.ru_maxrss / 1024, sink % 10);
    return 0;
}
