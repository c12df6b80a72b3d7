// Index build and search over a generated tree: 5,000 album folders of 20
// songs each (100,000 files, 105,000 entries with the folders). In one run:
//  - `find TREE -printf '%s %T@ %p\n'`: the walk with the stat a crawl needs;
//  - the Indexer, end to end (crawl, analysis, optimize), in a child process
//    whose peak memory the system reports;
//  - the reference: the search engine alone indexing the same 105,000 names
//    with its StandardAnalyzer and the same four fields, also in a child;
//  - searches (one term, two terms, prefix, OR, folders only), the searcher
//    opened per search, up to 500 stored paths read, against the same
//    queries on the reference index: median and 99th percentile.
// Prints a table with the ratios. Usage: bench_search_index [searches]
#include "library/DirectoryEnumeration.h"
#include "library/Indexer.h"
#include "library/LibraryPath.h"
#include "library/LibrarySearch.h"
#include "analysis/WideText.h"

#include <CLucene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char* const words[] = {
    "love", "night", "song", "blue", "day", "heart", "fire", "rain", "dream", "road", "light", "time",
    "girl", "moon", "sun", "river", "home", "dance", "city", "star", "world", "baby", "gold", "summer",
    "winter", "angel", "devil", "rock", "soul", "wind", "sky", "train", "blues", "shadow", "morning", "ocean",
    "street", "king", "queen", "highway", "paradise", "memory", "silver", "lonely", "wild", "sweet", "black", "white",
    "red", "green", "little", "big", "never", "always", "tonight", "forever", "yesterday", "tomorrow", "born", "free",
    "run", "walk", "fall", "rise", "shine", "burn", "cry", "smile", "kiss", "hold", "stay", "leave",
    "young", "old", "new", "last", "first", "lost", "found", "broken", "electric", "golden", "midnight", "velvet",
    "thunder", "stone", "glass", "paper", "crystal", "diamond", "echo", "mirror", "garden", "desert", "island", "mountain",
};
constexpr std::size_t wordCount = sizeof words / sizeof words[0];

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
    std::string root;
    std::string music;
    std::size_t entries = 0;

    Tree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tunelet-search-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root = pattern;
        music = root + "/music";
        std::mt19937 random(20261209);
        for (int folder = 0; folder < 5000; ++folder) {
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
    ~Tree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
};

/// Runs `work` in a child process; its wall time and peak resident memory.
template <typename Work>
Run inChild(Work work)
{
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = work();
        std::_Exit(ok ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "a benchmark child failed\n");
        std::exit(1);
    }
    return run;
}

struct Named {
    std::wstring name;
    std::wstring path;
    std::wstring attributes;
    std::wstring size;
};

/// The same entries the crawl indexes, read before the reference's clock runs.
void collect(const std::string& directory, std::vector<Named>& out)
{
    library::DirectoryEnumeration enumeration;
    if (!enumeration.open(directory + "/"))
        return;
    std::vector<std::string> subdirectories;
    library::FindData child;
    while (enumeration.next(child)) {
        if (child.name == "." || child.name == "..")
            continue;
        const std::string path = directory + "/" + child.name;
        std::string name = child.name;
        if (!child.isDirectory())
            name = name.substr(0, name.rfind('.'));
        out.push_back({analysis::widenBytes(name), analysis::widenBytes(path), std::to_wstring(child.attributes),
                       std::to_wstring(child.sizeLow)});
        if (child.isDirectory())
            subdirectories.push_back(path);
    }
    enumeration.close();
    for (const std::string& subdirectory : subdirectories)
        collect(subdirectory, out);
}

bool referenceBuild(const std::vector<Named>& entries, const std::string& folder)
{
    using namespace lucene::document;
    try {
        lucene::analysis::standard::StandardAnalyzer analyzer;
        lucene::index::IndexWriter writer(folder.c_str(), &analyzer, true);
        writer.setMaxFieldLength(261);
        const int indexed = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED) |
                            static_cast<int>(Field::TERMVECTOR_NO);
        const int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO) |
                           static_cast<int>(Field::TERMVECTOR_NO);
        for (const Named& entry : entries) {
            Document document;
            document.add(*new Field(L"name", entry.name.c_str(), indexed));
            document.add(*new Field(L"path", entry.path.c_str(), stored));
            document.add(*new Field(L"attributes", entry.attributes.c_str(), stored));
            document.add(*new Field(L"size", entry.size.c_str(), stored));
            writer.addDocument(&document);
        }
        writer.optimize();
        writer.close();
        return true;
    } catch (const CLuceneError&) {
        return false;
    }
}

/// The reference search: as LibrarySearch does it, over the reference index.
std::size_t referenceSearch(const std::string& folder, const std::string& query, bool foldersOnly,
                            lucene::analysis::Analyzer& analyzer)
{
    using namespace lucene::search;
    std::size_t appended = 0;
    try {
        IndexSearcher searcher(folder.c_str());
        lucene::queryParser::QueryParser parser(L"name", &analyzer);
        parser.setDefaultOperator(lucene::queryParser::QueryParser::AND_OPERATOR);
        const std::wstring text = analysis::decodeUtf8(query);
        std::unique_ptr<Query> parsed(parser.parse(text.c_str()));
        std::unique_ptr<Hits> hits(searcher.search(parsed.get()));
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < hits->length() && appended < 500; ++i) {
            lucene::document::Document& document = hits->doc(static_cast<std::int32_t>(i));
            const unsigned attributes = static_cast<unsigned>(std::wcstoul(document.get(L"attributes"), nullptr, 10));
            if (foldersOnly && (attributes & 0x10) == 0)
                continue;
            paths.push_back(analysis::narrowBytes(document.get(L"path")));
            ++appended;
        }
        searcher.close();
    } catch (const CLuceneError&) {
    }
    return appended;
}

struct Percentiles {
    double p50 = 0;
    double p99 = 0;
    std::size_t found = 0;
};

template <typename Search>
Percentiles measure(int times, Search search)
{
    std::vector<double> milliseconds;
    std::size_t found = 0;
    for (int i = 0; i < times; ++i) {
        const auto start = Clock::now();
        found = search();
        milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return {milliseconds[milliseconds.size() / 2], milliseconds[(milliseconds.size() * 99) / 100], found};
}

} // namespace

int main(int argc, char** argv)
{
    const int searches = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    std::printf("generating the tree...\n");
    Tree tree;
    const std::string ours = tree.root + "/Plugins/gen_Tunelet";
    const std::string reference = tree.root + "/reference";

    const std::string find = "find '" + tree.music + "' -printf '%s %T@ %p\\n' > /dev/null";
    // Once untimed, so both walks start with the same warm caches.
    if (std::system(find.c_str()) != 0)
        return 1;
    const auto findStart = Clock::now();
    if (std::system(find.c_str()) != 0)
        return 1;
    const double findSeconds = std::chrono::duration<double>(Clock::now() - findStart).count();

    std::size_t indexed = 0;
    const Run build = inChild([&] {
        library::Indexer indexer({tree.music}, {"mp3"}, ours);
        if (!indexer.start())
            return false;
        indexer.threadHandle()->wait();
        return indexer.lastRebuildComplete() && indexer.entryCount() == tree.entries;
    });
    indexed = tree.entries;

    std::vector<Named> names;
    collect(tree.music, names);
    const Run referenceRun = inChild([&] { return referenceBuild(names, reference); });

    std::printf("\nindex build of %zu entries (%zu files in 5,000 folders)\n", indexed, indexed - 5000);
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
