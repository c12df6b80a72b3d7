#include "library/IndexFixture.h"

#include "library/LibrarySearch.h"
#include "library/MediaLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>

using library::Indexer;
using library::LibraryEntry;
using librarytest::found;
using librarytest::ProgressObserver;
using librarytest::TempTree;
using Paths = std::vector<std::string>;

extern char** environ;

namespace {

const Indexer::Extensions extensions{"mp3", "flac", "m3u", "pls"};

class IndexerTest : public ::testing::Test {
protected:
    TempTree tree;
    /// The module path without its extension, as beside an installed module.
    const std::string indexDirectory = tree.directory("Plugins/gen_Tunelet");

    /// Every file below the index directory, relative to it, with its content.
    std::map<std::string, std::string> filesOutsideIndex() const
    {
        std::map<std::string, std::string> files;
        for (auto it = std::filesystem::recursive_directory_iterator(indexDirectory);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            const std::string relative = std::filesystem::relative(it->path(), indexDirectory).string();
            if (relative.starts_with("search-index")) {
                it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file()) {
                files[relative] = "(folder)";
                continue;
            }
            std::ifstream in(it->path(), std::ios::binary);
            files[relative] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return files;
    }

    /// Files named "write.lock" anywhere in the index's own folder.
    int engineLocks() const
    {
        int locks = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(indexDirectory))
            locks += entry.path().filename() == "write.lock";
        return locks;
    }
};

} // namespace

TEST_F(IndexerTest, IndexesNamesOfMediaFilesPlaylistsAndDirectories)
{
    const std::string music = tree.directory("music");
    const std::string live = tree.file("music/Album.Live.mp3", "12345");
    const std::string bare = tree.file("music/Disc.1/mp3");
    const std::string disc = tree.path("music/Disc.1");
    const std::string mix = tree.file("music/Disc.1/Party Mix.m3u");
    tree.file("music/Disc.1/readme.txt");
    tree.file("music/cover.jpg");
    const std::string notes = tree.file("notes.txt", "some notes");

    // A trailing separator is ignored; a shared entry naming a file is indexed
    // whatever its extension.
    Indexer indexer({music + "//", notes}, extensions, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(indexer.entryCount(), 5u);
    EXPECT_GT(indexer.startTime(), 0);
    EXPECT_GE(indexer.endTime(), indexer.startTime());

    struct Case {
        std::string query;
        Paths paths;
    };
    const Case cases[] = {
        {"album.live", {live}},  // the name without its extension, dotted word whole
        {"live", {}},
        {"mp3", {bare}},  // the extension is no term; a file named only "mp3" keeps it
        {"disc.1", {disc}},  // a directory keeps its whole name
        {"party mix", {mix}},
        {"notes", {notes}},
        {"readme", {}},
        {"cover", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(found(indexDirectory, c.query), c.paths) << c.query;

    // The stored fields come back byte for byte.
    std::vector<LibraryEntry> entries;
    library::LibrarySearch(indexDirectory).search("album.live OR disc.1", false, entries);
    ASSERT_EQ(entries.size(), 2u);
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.path < b.path; });
    EXPECT_EQ(entries[0].attributes, library::FindData::normalAttribute);
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_EQ(entries[1].attributes, library::FindData::directoryAttribute);
    EXPECT_EQ(entries[1].modified.value(), 0u);
}

TEST_F(IndexerTest, Utf8NamesAndRawBytePathsRoundTrip)
{
    const std::string music = tree.directory("music");
    const std::string bjork = tree.file("music/Bj\xC3\xB6rk - J\xC3\xB3ga.flac");
    const std::string tokyo = tree.directory("music/\xE6\x9D\xB1\xE4\xBA\xAC\xE4\xBA\x8B\xE5\xA4\x89");
    const std::string latin1 = tree.file("music/Caf\xE9 \xFF Noir.mp3");
    Indexer indexer({music}, extensions, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));

    EXPECT_EQ(found(indexDirectory, "bj\xC3\xb6rk"), Paths{bjork});
    EXPECT_EQ(found(indexDirectory, "J\xC3\x93GA"), Paths{bjork});
    EXPECT_EQ(found(indexDirectory, "BJ\xC3\x96R*"), Paths{bjork});
    EXPECT_EQ(found(indexDirectory, "\xE6\x9D\xB1\xE4\xBA\xAC\xE4\xBA\x8B\xE5\xA4\x89"), Paths{tokyo});
    EXPECT_EQ(found(indexDirectory, "noir caf"), Paths{latin1});
}

TEST_F(IndexerTest, ProgressOnEveryTenthEntryAndNoSecondRebuildMeanwhile)
{
    const std::string music = tree.directory("music");
    for (int i = 0; i < 24; ++i)
        tree.file("music/a/track" + std::to_string(i) + ".mp3");
    Indexer indexer({music}, extensions, indexDirectory);
    std::vector<std::uint64_t> counts;
    std::vector<bool> startedMeanwhile;
    std::vector<bool> indexing;
    ProgressObserver progress(indexer, [&](const LibraryEntry& entry) {
        EXPECT_TRUE(entry.path.starts_with(music + "/a/track")) << entry.path;
        counts.push_back(indexer.entryCount());
        indexing.push_back(indexer.endTime() == 0);
        startedMeanwhile.push_back(indexer.start());
    });
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_EQ(indexer.entryCount(), 25u);  // the folder "a" and its 24 files
    EXPECT_EQ(counts, (std::vector<std::uint64_t>{10, 20}));
    EXPECT_EQ(indexing, (std::vector<bool>{true, true}));
    EXPECT_EQ(startedMeanwhile, (std::vector<bool>{false, false}));
    EXPECT_EQ(found(indexDirectory, "track7").size(), 1u);

    // A second rebuild starts from nothing again.
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_EQ(indexer.entryCount(), 25u);
}

TEST_F(IndexerTest, RebuildsAfterAKilledOneAndTouchesNothingButItsOwnFolder)
{
    const std::string music = tree.directory("music");
    for (int i = 0; i < 30; ++i)
        tree.file("music/song" + std::to_string(i) + ".mp3");
    tree.file("Plugins/gen_Tunelet/skins/index.html", "<p>mine</p>");
    tree.file("Plugins/gen_Tunelet/notes.txt", "keep me");
    tree.file("Plugins/gen_Tunelet/write.lock", "not the index's");
    const auto before = filesOutsideIndex();

    {
        Indexer first({music}, extensions, indexDirectory);
        ASSERT_TRUE(librarytest::rebuild(first));
        ASSERT_TRUE(first.lastRebuildComplete());
    }
    tree.file("music/later.mp3");

    // Another process dies by SIGKILL in the middle of a rebuild, leaving its
    // half-written index and the engine's write lock behind.
    pid_t child = 0;
    const char* arguments[] = {KILLED_REBUILD, indexDirectory.c_str(), music.c_str(), nullptr};
    ASSERT_EQ(::posix_spawn(&child, KILLED_REBUILD, nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_EQ(engineLocks(), 2);  // the killed rebuild's and the user's stray file
    // Meanwhile searches answer from the last complete index.
    EXPECT_EQ(found(indexDirectory, "song7").size(), 1u);
    EXPECT_TRUE(found(indexDirectory, "later").empty());

    Indexer next({music}, extensions, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(next));
    EXPECT_TRUE(next.lastRebuildComplete());
    EXPECT_EQ(found(indexDirectory, "later"), Paths{music + "/later.mp3"});
    EXPECT_EQ(engineLocks(), 1);
    EXPECT_EQ(filesOutsideIndex(), before);
    // The current index and the one it replaced; nothing of the killed one.
    std::set<std::string> generations;
    for (const auto& entry : std::filesystem::directory_iterator(indexDirectory + "/search-index"))
        if (entry.is_directory())
            generations.insert(entry.path().filename().string());
    EXPECT_EQ(generations.size(), 2u);
}

TEST_F(IndexerTest, RefusesASecondWriterAndSurvivesMissingFolders)
{
    const std::string music = tree.directory("music");
    tree.file("music/a.mp3");
    Indexer indexer({tree.path("gone"), music}, extensions, indexDirectory);
    library::IndexStore store(indexDirectory);
    {
        // Another rebuild holds the store: this one ends without an index.
        auto other = store.beginRebuild();
        ASSERT_TRUE(other.has_value());
        ASSERT_TRUE(librarytest::rebuild(indexer));
        EXPECT_FALSE(indexer.lastRebuildComplete());
        EXPECT_GT(indexer.endTime(), 0);
    }
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(found(indexDirectory, "a"), Paths{music + "/a.mp3"});
}

TEST_F(IndexerTest, PreparesANewIndexBeforePublishingItAndAnUnchangedOneAgain)
{
    const std::string music = tree.directory("music");
    tree.file("music/a.mp3");
    Indexer indexer({music}, extensions, indexDirectory);
    const library::IndexStore store(indexDirectory);
    struct Call {
        std::string folder;
        std::string current;
        std::size_t hits;
    };
    std::vector<Call> calls;
    ASSERT_TRUE(indexer.setPreparation([&](const std::string& folder) {
        calls.push_back({folder, store.currentIndex(), library::LibrarySearch(indexDirectory).find("a", {}).total});
    }));
    ASSERT_TRUE(librarytest::rebuild(indexer));
    ASSERT_EQ(calls.size(), 1u);
    // Written, not yet current.
    EXPECT_EQ(calls[0].current, "");
    EXPECT_EQ(store.currentIndex(), calls[0].folder);

    ASSERT_TRUE(librarytest::rebuild(indexer));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].folder, calls[0].folder);
    EXPECT_EQ(calls[1].current, calls[0].folder);
    EXPECT_EQ(calls[1].hits, 1u);

    tree.file("music/b.mp3");
    ASSERT_TRUE(librarytest::rebuild(indexer));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_NE(calls[2].folder, calls[0].folder);
    EXPECT_EQ(calls[2].current, calls[0].folder);
    EXPECT_EQ(store.currentIndex(), calls[2].folder);
}

namespace {

/// A small memory file system mounted over `folder` in a mount namespace of
/// this process's own (so nothing outside the test sees it); unmounted when
/// destroyed. `mounted()` is false where the system refuses.
class SmallDisk {
public:
    SmallDisk(const std::string& folder, const char* size) : folder(folder)
    {
        const std::string options = std::string("size=") + size;
        active = ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                 ::mount("tunelet-test", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (active)
            ::umount2(folder.c_str(), MNT_DETACH);
    }
    bool mounted() const { return active; }

private:
    std::string folder;
    bool active = false;
};

} // namespace

TEST_F(IndexerTest, AFullDiskEndsTheRebuildWithOneMessageAndKeepsTheLastIndex)
{
    const std::string music = tree.directory("music");
    tree.file("music/first.mp3");
    SmallDisk disk(indexDirectory, "512k");
    if (!disk.mounted())
        GTEST_SKIP() << "no mount namespace here";
    Indexer indexer({music}, extensions, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    for (int i = 0; i < 600; ++i)
        tree.file("music/" + std::string(100, 'n') + std::to_string(i) + ".mp3");
    const std::string filler = indexDirectory + "/filler";

    struct Case {
        const char* when;
        std::size_t fillerBytes;  // taken from the disk before the rebuild
    };
    // A complete index of these names takes about 110 KB; writing it takes
    // about twice that at the peak.
    const Case cases[] = {{"while merging", 330'000}, {"while adding names", 460'000}, {"at once", 520'000}};
    for (const Case& c : cases) {
        std::ofstream(filler, std::ios::trunc) << std::string(c.fillerBytes, 'f');
        testing::internal::CaptureStderr();
        ASSERT_TRUE(librarytest::rebuild(indexer)) << c.when;
        const std::string message = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(indexer.lastRebuildComplete()) << c.when;
        EXPECT_EQ(message, "Tunelet: the search index could not be written (No space left on device); "
                           "searches keep the previous index\n")
            << c.when;
        EXPECT_EQ(found(indexDirectory, "first"), Paths{music + "/first.mp3"}) << c.when;
        EXPECT_TRUE(found(indexDirectory, "n7").empty()) << c.when;
        // The failed index is gone at once, giving the space back.
        std::size_t folders = 0;
        for (const auto& entry : std::filesystem::directory_iterator(indexDirectory + "/search-index"))
            folders += entry.is_directory();
        EXPECT_EQ(folders, 1u) << c.when;
    }

    std::filesystem::remove(filler);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(found(indexDirectory, std::string(100, 'n') + "7").size(), 1u);
}
