// What is read of a new index before it is published: the catalog's kept
// listings and the facts of paged searches, taken over by the first request
// after the switch, and not lost to requests for the old index meanwhile.
// And the legacy search, which ranks its hits itself, against the engine's
// own list of hits.
#include "analysis/SearchAnalyzer.h"
#include "analysis/SearchQueryParser.h"
#include "analysis/WideText.h"
#include "library/IndexFields.h"
#include "library/LibrarySearch.h"
#include "library/TagCatalog.h"
#include "library/TempTree.h"
#include "library/TestIndex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using library::LibrarySearch;
using library::TagCatalog;
using librarytest::IndexedEntry;
using librarytest::TempTree;

namespace {

IndexedEntry track(const std::string& artist, const std::string& album, const std::string& genre, int year, int number)
{
    library::TrackTags tags;
    tags.artist = artist;
    tags.album = album;
    tags.genre = genre;
    tags.year = year;
    tags.track = number;
    return {"/m/" + artist + "/" + album + "/" + std::to_string(number) + ".mp3", 0x80, 100, 0, tags};
}

/// The listings a catalog answers without filters, as one text.
std::string listings(const TagCatalog& catalog)
{
    std::string text;
    for (const TagCatalog::ArtistSummary& artist : catalog.artists())
        text += "artist " + artist.name + " " + std::to_string(artist.albums) + " " + std::to_string(artist.tracks) + "\n";
    for (const TagCatalog::GroupSummary& genre : catalog.genres())
        text += "genre " + genre.name + " " + std::to_string(genre.albums) + " " + std::to_string(genre.tracks) + "\n";
    for (const TagCatalog::GroupSummary& year : catalog.years())
        text += "year " + year.name + " " + std::to_string(year.albums) + " " + std::to_string(year.tracks) + "\n";
    return text;
}

/// Leaves only the version of the index in `folder`: its terms and documents
/// go, so whatever still answers from it was read before.
void removeAllButVersion(const std::string& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (!entry.path().filename().string().starts_with("segments"))
            std::filesystem::remove(entry.path());
}

/// Two indexes: the one current at first, and the one a rebuild writes.
struct TwoIndexes : ::testing::Test {
    TempTree tree;
    const std::string directory = tree.directory("index");
    const std::vector<IndexedEntry> older{track("Abba", "Gold", "Pop", 1992, 1), track("Abba", "Gold", "Pop", 1992, 2)};
    const std::vector<IndexedEntry> newer{track("Abba", "Gold", "Pop", 1992, 1), track("Björk", "Post", "Electronic", 1995, 1),
                                          track("Björk", "Post", "Electronic", 1995, 2), track("Can", "Tago Mago", "Rock", 1971, 1),
                                          {"/m/Can", 0x10, 0, 0, {}}};
    std::optional<library::IndexStore::Rebuild> rebuild;

    void SetUp() override
    {
        ASSERT_TRUE(librarytest::writeIndex(directory, older));
        rebuild = library::IndexStore(directory).beginRebuild();
        ASSERT_TRUE(rebuild && librarytest::writeGeneration(*rebuild, newer));
    }
};

} // namespace

TEST_F(TwoIndexes, CatalogListingsReadBeforePublishingAnswerTheFirstRequestAfter)
{
    const TagCatalog catalog(directory);
    const std::string before = listings(catalog);
    ASSERT_NE(before.find("artist Abba 1 2\n"), std::string::npos) << before;
    ASSERT_TRUE(catalog.prepare(rebuild->path()));
    // Until the switch, requests answer (and keep) the current index's.
    EXPECT_EQ(listings(catalog), before);
    ASSERT_TRUE(rebuild->publish());

    const std::string expected = listings(TagCatalog(directory));
    EXPECT_EQ(expected, "artist Abba 1 1\nartist Björk 1 2\nartist Can 1 1\n"
                        "genre Electronic 1 2\ngenre Pop 1 1\ngenre Rock 1 1\n"
                        "year 1971 1 1\nyear 1992 1 1\nyear 1995 1 2\n");
    removeAllButVersion(rebuild->path());
    EXPECT_EQ(listings(catalog), expected);
    EXPECT_EQ(listings(TagCatalog(directory)), "");
    EXPECT_FALSE(catalog.prepare(tree.path("index/search-index/none")));
}

TEST_F(TwoIndexes, FirstFindAfterPublishingReadsNoDocumentsFacts)
{
    const LibrarySearch search(directory);
    std::size_t asked = 0;
    auto counting = [&asked](std::string_view path) { return ++asked, path != "/m/Can/Tago Mago/1.mp3"; };
    ASSERT_TRUE(search.prepare(rebuild->path(), counting, "shared"));
    EXPECT_EQ(asked, newer.size());
    // A search of the current index meanwhile reads its own facts.
    asked = 0;
    EXPECT_EQ(search.find("1", {}, counting, "shared").total, 1u);
    EXPECT_EQ(asked, older.size());
    ASSERT_TRUE(rebuild->publish());

    asked = 0;
    const LibrarySearch::Page page = search.find("1", {}, counting, "shared");
    EXPECT_EQ(asked, 0u);
    ASSERT_EQ(page.total, 2u);  // the hidden track was hidden when prepared
    EXPECT_EQ(page.hits[0].entry.path, "/m/Abba/Gold/1.mp3");
    // Sorted by a tag, too, from what was read.
    for (const LibrarySearch::SortKey key : {LibrarySearch::SortKey::artist, LibrarySearch::SortKey::track}) {
        LibrarySearch::FindRequest byTag;
        byTag.sortBy = key;
        EXPECT_EQ(search.find("1", byTag, counting, "shared").total, 2u);
    }
    EXPECT_EQ(asked, 0u);
    // Another filter reads them anew.
    EXPECT_EQ(search.find("1", {}, counting, "other").total, 2u);
    EXPECT_EQ(asked, newer.size());
}

TEST_F(TwoIndexes, PreparingTheCurrentIndexLeavesWhatWasPreparedForTheNext)
{
    // As when the index found at start is read while a rebuild prepares
    // the one it wrote.
    const TagCatalog catalog(directory);
    const LibrarySearch search(directory);
    std::size_t asked = 0;
    auto counting = [&asked](std::string_view) { return ++asked, true; };
    for (const std::string& folder : {rebuild->path(), library::IndexStore(directory).currentIndex()}) {
        ASSERT_TRUE(catalog.prepare(folder));
        ASSERT_TRUE(search.prepare(folder, counting, "shared"));
    }
    asked = 0;
    EXPECT_EQ(search.find("1", {}, counting, "shared").total, 1u);
    ASSERT_TRUE(rebuild->publish());
    const std::string expected = listings(TagCatalog(directory));
    EXPECT_EQ(search.find("1", {}, counting, "shared").total, 3u);
    EXPECT_EQ(asked, 0u);
    removeAllButVersion(rebuild->path());
    EXPECT_EQ(listings(catalog), expected);
}

TEST(LegacySearch, RanksAndSkipsAsTheEnginesListOfHits)
{
    // 1,500 hits of one word in a few score classes (the word once or twice,
    // in names of other lengths), ties by the hundred, folders among them.
    TempTree tree;
    std::vector<IndexedEntry> entries;
    for (int i = 0; i < 1500; ++i) {
        const std::string name = i % 7 == 0 ? "song song " : i % 3 == 0 ? "song long name " : "song ";
        entries.push_back({"/m/" + std::to_string(i % 4) + "/" + name + std::to_string(i) + (i % 5 == 0 ? "" : ".mp3"),
                           i % 5 == 0 ? 0x10u : 0x80u, static_cast<std::uint32_t>(i), 0, {}});
    }
    ASSERT_TRUE(librarytest::writeIndex(tree.directory("index"), entries));
    const std::string folder = library::IndexStore(tree.path("index")).currentIndex();

    auto engine = [&folder](const std::string& query, bool foldersOnly, const LibrarySearch::PathFilter& keep) {
        lucene::analysis::filename::SearchAnalyzer analyzer(lucene::analysis::filename::SearchAnalyzer::Side::query);
        lucene::search::IndexSearcher searcher(folder.c_str());
        lucene::queryParser::filename::SearchQueryParser parser(library::fields::name, &analyzer);
        const std::unique_ptr<lucene::search::Query> parsed(parser.parse(analysis::decodeUtf8(query).c_str()));
        const std::unique_ptr<lucene::search::Hits> hits(searcher.search(parsed.get()));
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < hits->length() && lines.size() < LibrarySearch::maximumEntries; ++i) {
            lucene::document::Document& document = hits->doc(static_cast<std::int32_t>(i));
            const std::string path = analysis::narrowBytes(document.get(library::fields::path));
            const std::string attributes = analysis::narrowBytes(document.get(library::fields::attributes));
            if ((foldersOnly && attributes != "16") || (keep && !keep(path)))
                continue;
            lines.push_back(path + " " + attributes + " " + analysis::narrowBytes(document.get(library::fields::size)));
        }
        searcher.close();
        return lines;
    };
    const LibrarySearch search(tree.path("index"));
    const LibrarySearch::PathFilter notInFolderOne = [](std::string_view path) { return !path.starts_with("/m/1/"); };
    struct Case {
        const char* query;
        bool foldersOnly;
        LibrarySearch::PathFilter keep;
    };
    const Case cases[] = {
        {"song", false, {}}, {"song", true, {}}, {"song", false, notInFolderOne}, {"song", true, notInFolderOne},
        {"long OR 7*", false, {}}, {"so*", false, notInFolderOne}, {"song -long", true, {}}, {"none", false, {}},
    };
    for (const Case& c : cases) {
        std::vector<library::LibraryEntry> found;
        const std::size_t count = search.search(c.query, c.foldersOnly, found, c.keep);
        std::vector<std::string> lines;
        for (const library::LibraryEntry& entry : found)
            lines.push_back(entry.path + " " + std::to_string(entry.attributes) + " " + std::to_string(entry.size));
        EXPECT_EQ(count, lines.size());
        EXPECT_EQ(lines, engine(c.query, c.foldersOnly, c.keep)) << c.query << " " << c.foldersOnly;
    }
}
