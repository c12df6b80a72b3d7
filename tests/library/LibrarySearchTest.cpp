#include "library/IndexFixture.h"
#include "library/LibraryFixture.h"

#include "settings/Settings.h"
#include "platform/Event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using library::LibraryEntry;
using librarytest::LibraryTest;
using librarytest::ProgressObserver;
using Paths = std::vector<std::string>;

namespace {

class SearchTest : public LibraryTest {
protected:
    void SetUp() override
    {
        music = tree.directory("music");
        settings.update([&](auto& d) { d.sharedDirs = {music}; });
    }

    /// Rebuilds through the library and waits for the end.
    void reindexAndWait()
    {
        ASSERT_TRUE(library.reindex());
        library.indexer().threadHandle()->wait();
    }

    Paths search(const std::string& query, bool foldersOnly = false) const
    {
        std::vector<LibraryEntry> entries;
        const std::size_t count = library.search(query, foldersOnly, entries);
        EXPECT_EQ(count, entries.size()) << query;
        Paths paths;
        for (const LibraryEntry& entry : entries)
            paths.push_back(entry.path.substr(music.size() + 1));
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    bool savedNeedsIndex() const { return host::Settings(settings.iniPath).snapshot().needsIndex; }

    std::string music;
};

} // namespace

TEST_F(SearchTest, QueryLanguageOverNames)
{
    EXPECT_TRUE(search("beatles").empty());  // no index yet: nothing, and no error
    tree.file("music/Beatles - Abbey Road/01 Come Together.mp3");
    tree.file("music/Beatles - Abbey Road/Beatles Greatest.mp3");
    tree.file("music/Rolling Stones - Live/Stones Live.mp3");
    tree.file("music/Beat It.mp3");
    tree.file("music/Beatbox.mp3");
    tree.file("music/Road Songs.mp3");
    reindexAndWait();

    struct Case {
        std::string query;
        bool foldersOnly;
        Paths paths;
    };
    const Case cases[] = {
        {"beatles abbey", false, {"Beatles - Abbey Road"}},
        {"beatles OR stones", false,
         {"Beatles - Abbey Road", "Beatles - Abbey Road/Beatles Greatest.mp3", "Rolling Stones - Live",
          "Rolling Stones - Live/Stones Live.mp3"}},
        {"\"abbey road\"", false, {"Beatles - Abbey Road"}},
        {"\"road abbey\"", false, {}},
        {"beat*", false,
         {"Beat It.mp3", "Beatbox.mp3", "Beatles - Abbey Road", "Beatles - Abbey Road/Beatles Greatest.mp3"}},
        {"road -abbey", false, {"Road Songs.mp3"}},
        {"live", false, {"Rolling Stones - Live", "Rolling Stones - Live/Stones Live.mp3"}},
        {"live", true, {"Rolling Stones - Live"}},
        {"mp3", false, {}},
        // Queries that do not parse, or hold no term, find nothing.
        {"\"unbalanced", false, {}},
        {"*", false, {}},
        {"(", false, {}},
        {"- ...", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(search(c.query, c.foldersOnly), c.paths) << c.query << (c.foldersOnly ? " (folders)" : "");
}

TEST_F(SearchTest, AtMost500EntriesAndSkippedFilesDoNotCount)
{
    for (int i = 0; i < 800; ++i)
        tree.file("music/hits/hit " + std::to_string(i) + ".mp3");
    tree.directory("music/hit folder one");
    tree.directory("music/hit folder two");
    reindexAndWait();
    EXPECT_EQ(search("hit").size(), 500u);
    EXPECT_EQ(search("hit", true), (Paths{"hit folder one", "hit folder two"}));
}

// The index keeps a directory until the next rebuild; its hits go when the
// directory is no longer shared, and do not fill the 500 places.
TEST_F(SearchTest, HitsInDirectoriesNoLongerSharedAreNotShown)
{
    const std::string other = tree.directory("other");
    settings.update([&](auto& d) { d.sharedDirs = {music, other}; });
    tree.file("music/live one.mp3");
    for (int i = 0; i < 600; ++i)
        tree.file("other/live " + std::to_string(i) + ".mp3");
    reindexAndWait();
    ASSERT_EQ(search("live").size(), 500u);
    settings.update([&](auto& d) { d.sharedDirs = {music}; });
    EXPECT_EQ(search("live"), Paths{"live one.mp3"});
    std::vector<std::string> expanded;
    library.expandPath("search://live", expanded);
    EXPECT_EQ(expanded, std::vector<std::string>{music + "/live one.mp3"});
}

TEST_F(SearchTest, NeedsIndexIsSetWhileRebuildingAndClearedOnlyByACompleteOne)
{
    tree.file("music/a/one.mp3");
    for (int i = 0; i < 12; ++i)
        tree.file("music/a/" + std::to_string(i) + ".mp3");
    std::vector<bool> savedMeanwhile;
    std::vector<bool> indexingMeanwhile;
    std::vector<bool> reindexMeanwhile;
    {
        ProgressObserver progress(library.indexer(), [&](const LibraryEntry&) {
            savedMeanwhile.push_back(savedNeedsIndex());
            indexingMeanwhile.push_back(library.isIndexing());
            reindexMeanwhile.push_back(library.reindex());
        });
        reindexAndWait();
    }
    EXPECT_EQ(savedMeanwhile, std::vector<bool>{true});
    EXPECT_EQ(indexingMeanwhile, std::vector<bool>{true});
    EXPECT_EQ(reindexMeanwhile, std::vector<bool>{false});
    EXPECT_FALSE(library.isIndexing());
    EXPECT_FALSE(savedNeedsIndex());
    EXPECT_EQ(search("one"), Paths{"a/one.mp3"});
}

TEST(SearchFailure, RebuildThatCannotWriteKeepsNeedsIndex)
{
    librarytest::TempTree tree;
    // The index directory would be "gen_Tunelet", which is a file here.
    tree.file("gen_Tunelet", "in the way");
    host::Settings settings(tree.path("gen_Tunelet.ini"));
    settings.update([&](auto& d) { d.sharedDirs = {tree.directory("music")}; });
    tree.file("music/a.mp3");
    library::MediaLibrary library(settings);
    ASSERT_TRUE(library.reindex());
    library.indexer().threadHandle()->wait();
    EXPECT_FALSE(library.indexer().lastRebuildComplete());
    EXPECT_TRUE(settings.snapshot().needsIndex);
    EXPECT_TRUE(host::Settings(settings.iniPath).snapshot().needsIndex);
}

/// Settings sharing one folder of 40 files, "old 0.mp3" to "old 39.mp3".
struct FortyOldFiles {
    FortyOldFiles()
    {
        settings.update([&](auto& d) { d.sharedDirs = {music}; });
        for (int i = 0; i < 40; ++i)
            tree.file("music/old " + std::to_string(i) + ".mp3");
    }
    librarytest::TempTree tree;
    host::Settings settings{tree.path("gen_Tunelet.ini")};
    const std::string music = tree.directory("music");
};

TEST(SearchFailure, LibraryDestroyedMidRebuildKeepsNeedsIndexAndTheLastIndex)
{
    FortyOldFiles fixture;
    auto& [tree, settings, music] = fixture;
    auto library = std::make_unique<library::MediaLibrary>(settings);
    ASSERT_TRUE(library->reindex());
    library->indexer().threadHandle()->wait();
    ASSERT_FALSE(settings.snapshot().needsIndex);
    tree.file("music/new.mp3");

    platform::Event reached;
    platform::Event proceed;
    library::Indexer& indexer = library->indexer();
    {
        ProgressObserver progress(indexer, [&](const LibraryEntry&) {
            reached.set();
            proceed.wait();
        });
        ASSERT_TRUE(library->reindex());
        reached.wait();
        std::thread destroyer([&] { library.reset(); });
        // The destruction asks the rebuild to stop and waits for it.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!indexer.stopping() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(indexer.stopping());
        proceed.set();
        destroyer.join();
        progress.forgetIndexer();
    }
    EXPECT_TRUE(host::Settings(settings.iniPath).snapshot().needsIndex);
    library::MediaLibrary restarted(settings);
    std::vector<LibraryEntry> entries;
    EXPECT_EQ(restarted.search("old", false, entries), 40u);
    EXPECT_EQ(restarted.search("new", false, entries), 0u);
}

TEST(SearchAtStart, AnIndexPreparedInTheBackgroundAnswersMeanwhileAndAfter)
{
    FortyOldFiles fixture;
    auto& [tree, settings, music] = fixture;
    {
        library::MediaLibrary first(settings);
        ASSERT_TRUE(first.reindex());
        first.indexer().threadHandle()->wait();
        ASSERT_TRUE(first.indexer().lastRebuildComplete());
    }
    // Started again, asked at once, then destroyed at once: twice.
    for (int round = 0; round < 2; ++round) {
        library::MediaLibrary restarted(settings);
        restarted.prepareCurrentIndex();
        restarted.prepareCurrentIndex();
        for (int ask = 0; ask < 3; ++ask) {
            library::LibrarySearch::FindRequest request;
            request.sortBy = library::LibrarySearch::SortKey::name;
            const library::LibrarySearch::Page page = restarted.find("old", request);
            EXPECT_EQ(page.total, 40u);
            ASSERT_FALSE(page.hits.empty());
            EXPECT_EQ(page.hits[0].entry.path, music + "/old 0.mp3");
        }
    }
}
