// Search over 1,000,000 indexed names (the environment variable TUNELET_BENCH_FILES
// sets another count; names only, no files on disk): the
// index written as the indexer writes it (search analyzer: accents folded,
// CJK pairs), and in the same run a reference index of the same names with
// the search engine's StandardAnalyzer. Then, per query, the searcher opened
// per search as the routes do:
//  - `search`: the first 500 hits in relevance order ("library.js");
//  - `find`: total plus a page of 100, by relevance and by name ("find.js"),
//    after the one read of every document's facts that the first `find` on
//    an index makes (timed on its own, and again when that read was done
//    before the index was published, as a rebuild does);
//  - the reference: the first 500 hits read the same way.
//  - the engine alone: the same query over the same index, 500 paths read
//    through its own list of hits (the work "search" did before it ranked
//    the hits itself);
// Prints median and 99th percentile in ms, the load averages beside each
// row, and how many hits the reference
// read (it folds no accents and cuts no CJK runs, so it may find none). Usage: bench_search_million [runs]
#include "ReferenceIndex.h"
#include "ScratchFolder.h"
#include "Timing.h"
#include "analysis/SearchAnalyzer.h"
#include "library/IndexStore.h"
#include "library/LibrarySearch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace bench;

/// The shared words, then some accented and some CJK.
const std::vector<const char*> allWords = [] {
    std::vector<const char*> all(std::begin(words), std::end(words));
    all.insert(all.end(), {"café", "señor", "björk", "niño", "über", "déjà", "東京", "日本語", "愛の歌", "夜明け"});
    return all;
}();

struct Named {
    std::string path;
    std::string name;
};

/// Artist folders of 19 songs each, `entryCount` entries with the folders.
std::vector<Named> names(const std::string& root, std::size_t entryCount)
{
    std::mt19937 random(20261210);
    auto title = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += (i > 0 ? " " : "") + std::string(allWords[random() % allWords.size()]);
        return text;
    };
    std::vector<Named> out;
    out.reserve(entryCount);
    for (int folder = 0; out.size() < entryCount; ++folder) {
        const std::string name = "Artist " + std::to_string(folder) + " - " + title(2);
        const std::string path = root + "/" + name;
        out.push_back({path, name});
        for (int song = 0; song < 19 && out.size() < entryCount; ++song) {
            const std::string songName = std::to_string(song + 1) + " - " + title(2 + song % 3);
            out.push_back({path + "/" + songName + ".mp3", songName});
        }
    }
    return out;
}

bool build(const std::vector<Named>& entries, const std::string& folder, lucene::analysis::Analyzer& analyzer)
{
    return writeIndex(folder, analyzer, [&](lucene::index::IndexWriter& writer) {
        for (const Named& entry : entries) {
            const bool directory = !entry.path.ends_with(".mp3");
            const std::wstring name = analysis::decodeUtf8(entry.name);
            const std::wstring path = analysis::widenBytes(entry.path);
            lucene::document::Document document;
            document.add(*new Field(L"name", name.c_str(), indexedField));
            document.add(*new Field(L"path", path.c_str(), storedField));
            document.add(*new Field(L"attributes", directory ? L"16" : L"128", storedField));
            document.add(*new Field(L"size", L"4000000", storedField));
            writer.addDocument(&document);
        }
    });
}

/// Resident memory of this process now, in MB.
double residentMegabytes()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
    const ScratchFolder scratch("tunelet-million");
    const std::string& root = scratch.path();
    const std::string music = "/srv/music";
    const std::vector<Named> entries = names(music, fileCount(1'000'000));

    library::IndexStore store(root + "/ours");
    std::optional<library::IndexStore::Rebuild> rebuild = store.beginRebuild();
    lucene::analysis::filename::SearchAnalyzer ours(lucene::analysis::filename::SearchAnalyzer::Side::index);
    auto start = Clock::now();
    if (!rebuild || !build(entries, rebuild->path(), ours) || !rebuild->publish())
        return 1;
    const double oursSeconds = secondsSince(start);
    lucene::analysis::standard::StandardAnalyzer standard;
    const std::string reference = root + "/reference";
    start = Clock::now();
    if (!build(entries, reference, standard))
        return 1;
    const double referenceSeconds = secondsSince(start);
    std::printf("index of %zu names: search analyzer %.1f s, reference StandardAnalyzer %.1f s\n", entries.size(),
                oursSeconds, referenceSeconds);

    const library::LibrarySearch::PathFilter shared = [&music](std::string_view path) {
        return path.starts_with(music) && (path.size() == music.size() || path[music.size()] == '/');
    };
    library::LibrarySearch::FindRequest first;
    {
        const library::LibrarySearch unprepared(root + "/ours");
        start = Clock::now();
        const std::size_t firstTotal = unprepared.find("thunder", first, shared, music).total;
        std::printf("first find on a new index (reads the facts of every document): %.2f s, %zu hits\n",
                    secondsSince(start), firstTotal);
    }
    const library::LibrarySearch search(root + "/ours");
    const double before = residentMegabytes();
    start = Clock::now();
    search.prepare(store.currentIndex(), shared, music);
    const double preparing = secondsSince(start);
    start = Clock::now();
    const std::size_t firstTotal = search.find("thunder", first, shared, music).total;
    std::printf("the same after the facts were read before publishing: %.2f ms, %zu hits (the reading, on the "
                "indexing thread: %.2f s); resident memory %+.0f MB (%.0f MB in all)\n",
                secondsSince(start) * 1000, firstTotal, preparing, residentMegabytes() - before, residentMegabytes());
    lucene::analysis::filename::SearchAnalyzer oursQuery(lucene::analysis::filename::SearchAnalyzer::Side::query);
    const std::string oursIndex = store.currentIndex();
    const char* const queries[] = {"midnight velvet", "artist 4711", "thunder", "lov*", "rain OR fire",
                                   "cafe señor", "日本", "東京 love"};
    std::printf("\n%d runs each, searcher per search, ms (p50 / p99); the engine alone reads 500 paths of the "
                "same index through its list of hits; load averages (1, 5, 15 min) before each row\n",
                runs);
    std::printf("  %-14s %-17s %7s | %-15s | %-15s | %-15s | %-15s | %5s | %4s %-15s\n", "load", "query", "hits",
                "search (500)", "engine (500)", "find (100)", "find by name", "p99/e", "ref", "reference (500)");
    for (const char* query : queries) {
        const std::string load = loadAverages();
        const Percentiles legacy = measure(runs, [&] {
            std::vector<library::LibraryEntry> found;
            return search.search(query, false, found, shared);
        });
        library::LibrarySearch::FindRequest request;
        const Percentiles paged = measure(runs, [&] { return search.find(query, request, shared, music).total; });
        request.sortBy = library::LibrarySearch::SortKey::name;
        const Percentiles byName = measure(runs, [&] { return search.find(query, request, shared, music).total; });
        const Percentiles engine = measure(runs, [&] { return referenceSearch(oursIndex, query, false, oursQuery); });
        const Percentiles theirs = measure(runs, [&] { return referenceSearch(reference, query, false, standard); });
        std::printf("  %-14s %-17s %7zu | %6.2f / %6.2f | %6.2f / %6.2f | %6.2f / %6.2f | %6.2f / %6.2f | %5.2f | %4zu "
                    "%6.2f / %6.2f\n",
                    load.c_str(), query, paged.found, legacy.p50, legacy.p99, engine.p50, engine.p99, paged.p50,
                    paged.p99, byName.p50, byName.p99, legacy.p99 / engine.p99, theirs.found, theirs.p50, theirs.p99);
    }
    std::printf("resident memory at the end: %.0f MB\n", residentMegabytes());
    return 0;
}
