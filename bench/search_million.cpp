// Search over 1,000,000 indexed names (names only, no files on disk): the
// index written as the indexer writes it (search analyzer: accents folded,
// CJK pairs), and in the same run a reference index of the same names with
// the search engine's StandardAnalyzer. Then, per query, the searcher opened
// per search as the routes do:
//  - `search`: the first 500 hits in relevance order ("library.js");
//  - `find`: total plus a page of 100, by relevance and by name ("find.js"),
//    after the one read of every document's facts that the first `find` on
//    an index makes (timed on its own);
//  - the reference: the first 500 hits read the same way.
// Prints median and 99th percentile in ms, and how many hits the reference
// read (it folds no accents and cuts no CJK runs, so it may find none). Usage: bench_search_million [runs]
#include "analysis/SearchAnalyzer.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/LibrarySearch.h"

#include <CLucene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int entryCount = 1000000;

const char* const words[] = {
    "love", "night", "song", "blue", "day", "heart", "fire", "rain", "dream", "road", "light", "time",
    "girl", "moon", "sun", "river", "home", "dance", "city", "star", "world", "baby", "gold", "summer",
    "winter", "angel", "devil", "rock", "soul", "wind", "sky", "train", "blues", "shadow", "morning", "ocean",
    "street", "king", "queen", "highway", "paradise", "memory", "silver", "lonely", "wild", "sweet", "black", "white",
    "red", "green", "little", "big", "never", "always", "tonight", "forever", "yesterday", "tomorrow", "born", "free",
    "run", "walk", "fall", "rise", "shine", "burn", "cry", "smile", "kiss", "hold", "stay", "leave",
    "young", "old", "new", "last", "first", "lost", "found", "broken", "electric", "golden", "midnight", "velvet",
    "thunder", "stone", "glass", "paper", "crystal", "diamond", "echo", "mirror", "garden", "desert", "island", "mountain",
    "café", "señor", "björk", "niño", "über", "déjà", "東京", "日本語", "愛の歌", "夜明け",
};
constexpr std::size_t wordCount = sizeof words / sizeof words[0];

struct Named {
    std::string path;
    std::string name;
};

/// 50,000 artist folders of 19 songs each (1,000,000 entries with the folders).
std::vector<Named> names(const std::string& root)
{
    std::mt19937 random(20261210);
    auto title = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += (i > 0 ? " " : "") + std::string(words[random() % wordCount]);
        return text;
    };
    std::vector<Named> out;
    out.reserve(entryCount);
    for (int folder = 0; static_cast<int>(out.size()) < entryCount; ++folder) {
        const std::string name = "Artist " + std::to_string(folder) + " - " + title(2);
        const std::string path = root + "/" + name;
        out.push_back({path, name});
        for (int song = 0; song < 19 && static_cast<int>(out.size()) < entryCount; ++song) {
            const std::string songName = std::to_string(song + 1) + " - " + title(2 + song % 3);
            out.push_back({path + "/" + songName + ".mp3", songName});
        }
    }
    return out;
}

bool build(const std::vector<Named>& entries, const std::string& folder, lucene::analysis::Analyzer& analyzer)
{
    using lucene::document::Field;
    const int indexed = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
    const int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
    try {
        lucene::index::IndexWriter writer(folder.c_str(), &analyzer, true);
        writer.setMaxFieldLength(261);
        for (const Named& entry : entries) {
            const bool directory = !entry.path.ends_with(".mp3");
            const std::wstring name = analysis::decodeUtf8(entry.name);
            const std::wstring path = analysis::widenBytes(entry.path);
            lucene::document::Document document;
            document.add(*new Field(L"name", name.c_str(), indexed));
            document.add(*new Field(L"path", path.c_str(), stored));
            document.add(*new Field(L"attributes", directory ? L"16" : L"128", stored));
            document.add(*new Field(L"size", L"4000000", stored));
            writer.addDocument(&document);
        }
        writer.optimize();
        writer.close();
        return true;
    } catch (const CLuceneError&) {
        return false;
    }
}

std::size_t referenceSearch(const std::string& folder, const std::string& query, lucene::analysis::Analyzer& analyzer)
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
            paths.push_back(analysis::narrowBytes(hits->doc(static_cast<std::int32_t>(i)).get(L"path")));
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

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 100;
    std::string pattern = (std::filesystem::temp_directory_path() / "tunelet-million-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return 1;
    const std::string root = pattern;
    const std::string music = "/srv/music";
    const std::vector<Named> entries = names(music);

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

    const library::LibrarySearch search(root + "/ours");
    const library::LibrarySearch::PathFilter shared = [&music](std::string_view path) {
        return path.starts_with(music) && (path.size() == music.size() || path[music.size()] == '/');
    };
    const double before = residentMegabytes();
    start = Clock::now();
    library::LibrarySearch::FindRequest first;
    const std::size_t firstTotal = search.find("thunder", first, shared, music).total;
    std::printf("first find (reads the facts of every document): %.2f s, %zu hits, resident memory %+.0f MB\n",
                secondsSince(start), firstTotal, residentMegabytes() - before);
    const char* const queries[] = {"midnight velvet", "artist 4711", "thunder", "lov*", "rain OR fire",
                                   "cafe señor", "日本", "東京 love"};
    std::printf("\n%d runs each, searcher per search, ms (p50 / p99)\n", runs);
    std::printf("  %-17s %7s | %-15s | %-15s | %-15s | %4s %-15s\n", "query", "hits", "search (500)", "find (100)",
                "find by name", "ref", "reference (500)");
    for (const char* query : queries) {
        const Percentiles legacy = measure(runs, [&] {
            std::vector<library::LibraryEntry> found;
            return search.search(query, false, found, shared);
        });
        library::LibrarySearch::FindRequest request;
        const Percentiles paged = measure(runs, [&] { return search.find(query, request, shared, music).total; });
        request.sortBy = library::LibrarySearch::SortKey::name;
        const Percentiles byName = measure(runs, [&] { return search.find(query, request, shared, music).total; });
        const Percentiles theirs = measure(runs, [&] { return referenceSearch(reference, query, standard); });
        std::printf("  %-17s %7zu | %6.2f / %6.2f | %6.2f / %6.2f | %6.2f / %6.2f | %4zu %6.2f / %6.2f\n", query,
                    paged.found, legacy.p50, legacy.p99, paged.p50, paged.p99, byName.p50, byName.p99, theirs.found,
                    theirs.p50, theirs.p99);
    }
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return 0;
}
