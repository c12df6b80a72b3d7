// Index build and search over a generated tree: 5,000 album folders of 20
// songs each (100,000 files, 105,000 entries with the folders; the
// environment variable TUNELET_BENCH_FILES sets another count). In one run:
//  - `find TREE -printf '%s %T@ %p\n'`: the walk with the stat a crawl needs;
//  - the Indexer, end to end (crawl, analysis, optimize), in a child process
//    whose peak memory the system reports;
//  - the reference: the search engine alone indexing the same 105,000 names
//    with its StandardAnalyzer and the same four fields, also in a child;
//  - searches (one term, two terms, prefix, OR, folders only), the searcher
//    opened per search, up to 500 stored paths read, against the same
//    queries on the reference index: median and 99th percentile.
// Prints a table with the ratios. Usage: bench_search_index [searches]
#include "ReferenceIndex.h"
#include "ScratchFolder.h"
#include "Timing.h"
#include "library/Indexer.h"
#include "library/LibrarySearch.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace bench;
constexpr std::size_t wordCount = std::size(words);

std::string title(std::mt19937& random, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ' ';
        std::string word = words[random() % wordCount];
        if (i == 0)
            word[0] = static_cast<char>(word[0] - 'a' + 'A');
        text += word;
    }
    return text;
}

struct Tree {
    ScratchFolder scratch{"tunelet-search-bench"};
    std::string root = scratch.path();
    std::string music;
    std::size_t entries = 0;

    std::size_t folders = 0;

    explicit Tree(std::size_t files)
        : folders(std::max<std::size_t>(1, files / 20))
    {
        music = root + "/music";
        std::mt19937 random(20261209);
        for (std::size_t folder = 0; folder < folders; ++folder) {
            const std::string path = music + "/Artist " + std::to_string(folder / 10) + " - " + title(random, 2) +
                                     " " + std::to_string(folder);
            std::filesystem::create_directories(path);
            ++entries;
            for (int song = 0; song < 20; ++song) {
                std::ofstream(path + "/" + std::to_string(song + 1) + " - " + title(random, 2 + song % 3) + ".mp3");
                ++entries;
            }
        }
    }
};

struct Named {
    std::wstring name;
    std::wstring path;
    std::wstring attributes;
    std::wstring size;
};

bool referenceBuild(const std::vector<Named>& entries, const std::string& folder)
{
    lucene::analysis::standard::StandardAnalyzer analyzer;
    return writeIndex(folder, analyzer, [&](lucene::index::IndexWriter& writer) {
        for (const Named& entry : entries) {
            lucene::document::Document document;
            document.add(*new Field(L"name", entry.name.c_str(), indexedField));
            document.add(*new Field(L"path", entry.path.c_str(), storedField));
            document.add(*new Field(L"attributes", entry.attributes.c_str(), storedField));
            document.add(*new Field(L"size", entry.size.c_str(), storedField));
            writer.addDocument(&document);
        }
    });
}

} // namespace

int main(int argc, char** argv)
{
    const int searches = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    std::printf("generating the tree...\n");
    const Tree tree(fileCount(100'000));
    const std::string ours = tree.root + "/Plugins/gen_Tunelet";
    const std::string reference = tree.root + "/reference";

    const std::string find = "find '" + tree.music + "' -printf '%s %T@ %p\\n' > /dev/null";
    // Once untimed, so both walks start with the same warm caches.
    if (std::system(find.c_str()) != 0)
        return 1;
    const auto findStart = Clock::now();
    if (std::system(find.c_str()) != 0)
        return 1;
    const double findSeconds = secondsSince(findStart);

    std::size_t indexed = 0;
    const Run build = inChild([&] {
        library::Indexer indexer({tree.music}, {"mp3"}, ours);
        if (!indexer.start())
            return false;
        indexer.threadHandle()->wait();
        return indexer.lastRebuildComplete() && indexer.entryCount() == tree.entries;
    });
    indexed = tree.entries;

    // The same entries the crawl indexes, read before the reference's clock runs.
    std::vector<Named> names;
    auto collect = [&names](const library::FindData& entry, const std::string& path) {
        names.push_back({analysis::widenBytes(indexedName(entry)), analysis::widenBytes(path),
                         std::to_wstring(entry.attributes), std::to_wstring(entry.sizeLow)});
    };
    forEachEntry(tree.music, collect);
    const Run referenceRun = inChild([&] { return referenceBuild(names, reference); });

    std::printf("\nindex build of %zu entries (%zu files in %zu folders)\n", indexed, indexed - tree.folders,
                tree.folders);
    std::printf("  find walk               %8.3f s\n", findSeconds);
    std::printf("  Indexer end to end      %8.3f s  %9.0f names/s  peak %6ld MB\n", build.seconds,
                static_cast<double>(indexed) / build.seconds, build.peakKilobytes / 1024);
    std::printf("  reference (names given) %8.3f s  %9.0f names/s  peak %6ld MB\n", referenceRun.seconds,
                static_cast<double>(indexed) / referenceRun.seconds, referenceRun.peakKilobytes / 1024);
    std::printf("  ratio Indexer / reference %.2f, Indexer / find %.1f\n", build.seconds / referenceRun.seconds,
                build.seconds / findSeconds);

    struct Query {
        const char* label;
        std::string text;
        bool foldersOnly;
    };
    const Query queries[] = {
        {"one term", "love", false},     {"two terms", "love night", false}, {"prefix", "lov*", false},
        {"OR", "rain OR fire", false},   {"folders only", "love", true},
    };
    library::LibrarySearch search(ours);
    lucene::analysis::standard::StandardAnalyzer standard;
    std::printf("\nsearch, %d runs each, searcher per search (ms)\n", searches);
    std::printf("  %-13s %6s %8s %8s | %6s %8s %8s | %9s\n", "query", "found", "p50", "p99", "ref", "p50", "p99",
                "p99 ratio");
    for (const Query& query : queries) {
        const Percentiles mine = measure(searches, [&] {
            std::vector<library::LibraryEntry> entries;
            return search.search(query.text, query.foldersOnly, entries);
        });
        const Percentiles theirs =
            measure(searches, [&] { return referenceSearch(reference, query.text, query.foldersOnly, standard); });
        std::printf("  %-13s %6zu %8.2f %8.2f | %6zu %8.2f %8.2f | %9.2f\n", query.label, mine.found, mine.p50,
                    mine.p99, theirs.found, theirs.p50, theirs.p99, mine.p99 / theirs.p99);
    }
    return 0;
}
