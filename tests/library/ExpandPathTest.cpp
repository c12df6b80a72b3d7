#include "library/LibraryFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

using librarytest::LibraryTest;

namespace {

class ExpandPathTest : public LibraryTest {
protected:
    void SetUp() override
    {
        music = tree.directory("music");
        settings.update([&](auto& d) { d.sharedDirs = {music}; });
        tree.file("music/b.mp3");
        tree.file("music/a.flac");
        tree.file("music/list.m3u");
        tree.file("music/other.PLS");
        tree.file("music/notes.txt");
        tree.file("music/sub/c.ogg");
        tree.file("music/sub/deeper/d.wav");
        tree.file("music/sub/deeper/e.M4A");
        // A directory named like a playlist is left out too.
        tree.file("music/box.m3u/hidden.mp3");
        tree.file("secret/s.mp3");
    }

    std::string music;
};

} // namespace

TEST_F(ExpandPathTest, DirectoryGivesEveryMediaFileBelowItSorted)
{
    const std::vector<std::string> expected = {music + "/a.flac", music + "/b.mp3", music + "/sub/c.ogg",
                                               music + "/sub/deeper/d.wav", music + "/sub/deeper/e.M4A"};
    EXPECT_EQ(expand(music), expected);
    EXPECT_EQ(expand(music + "//"), expected);
    EXPECT_EQ(expand(music + "/sub"),
              (std::vector<std::string>{music + "/sub/c.ogg", music + "/sub/deeper/d.wav", music + "/sub/deeper/e.M4A"}));
}

TEST_F(ExpandPathTest, FilesStandAloneEvenPlaylists)
{
    EXPECT_EQ(expand(music + "/b.mp3"), std::vector<std::string>{music + "/b.mp3"});
    EXPECT_EQ(expand(music + "/list.m3u"), std::vector<std::string>{music + "/list.m3u"});
    // Whatever its extension: the caller named it.
    EXPECT_EQ(expand(music + "/notes.txt"), std::vector<std::string>{music + "/notes.txt"});
    EXPECT_TRUE(expand(music + "/missing.mp3").empty());
}

TEST_F(ExpandPathTest, AppendsToWhatIsThereAndSortsTheWhole)
{
    std::vector<std::string> out = {"zzz", "/aaa"};
    library.expandPath(music + "/sub/deeper", out);
    EXPECT_EQ(out, (std::vector<std::string>{"/aaa", music + "/sub/deeper/d.wav", music + "/sub/deeper/e.M4A", "zzz"}));
}

TEST_F(ExpandPathTest, NothingOutsideTheSharedDirectories)
{
    EXPECT_TRUE(expand(tree.path("secret")).empty());
    EXPECT_TRUE(expand(tree.path("secret/s.mp3")).empty());
    EXPECT_TRUE(expand(music + "/../secret").empty());
    EXPECT_TRUE(expand(music + "/sub/../../secret/s.mp3").empty());
    EXPECT_TRUE(expand(tree.root).empty());
}

TEST_F(ExpandPathTest, LinksBackUpTheTreeEndTheDescent)
{
    tree.link("music/sub/deeper/up", music);
    tree.link("music/sub/self", ".");
    tree.link("music/sub/parent", "..");
    const std::vector<std::string> found = expand(music);
    EXPECT_EQ(found, (std::vector<std::string>{music + "/a.flac", music + "/b.mp3", music + "/sub/c.ogg",
                                               music + "/sub/deeper/d.wav", music + "/sub/deeper/e.M4A"}));
}

TEST_F(ExpandPathTest, ADirectoryReachedTwiceIsEnteredOnce)
{
    tree.file("music/common/t.mp3");
    tree.link("music/one", music + "/common");
    tree.link("music/two", "common");
    const std::vector<std::string> found = expand(music);
    const auto copies = std::count_if(found.begin(), found.end(), [](const std::string& path) {
        return path.ends_with("/t.mp3");
    });
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(found.size(), 6u);
}

TEST_F(ExpandPathTest, LinksToFilesCount)
{
    tree.link("music/sub/alias.mp3", music + "/b.mp3");
    const std::vector<std::string> found = expand(music + "/sub");
    EXPECT_NE(std::find(found.begin(), found.end(), music + "/sub/alias.mp3"), found.end());
}

// A pipe would hold whoever opens it until a writer comes: neither listed,
// expanded nor described, whatever its name or its way in.
TEST_F(ExpandPathTest, OnlyRegularFilesAndDirectoriesCount)
{
    tree.directory("music/pipes");
    for (const char* name : {"music/fifo.mp3", "music/pipes/p.ogg"})
        ASSERT_EQ(::mkfifo(tree.path(name).c_str(), 0600), 0);
    tree.link("music/link.mp3", tree.path("music/fifo.mp3"));
    for (const std::string name : {"fifo.mp3", "link.mp3", "pipes/p.ogg", "pipes"}) {
        EXPECT_TRUE(expand(music + "/" + name).empty()) << name;
        EXPECT_EQ(library.fileInfo(music + "/" + name).name, name == "pipes" ? "pipes" : "") << name;
    }
    std::vector<library::LibraryEntry> listed;
    library.listDirectory(music, listed);
    for (const library::LibraryEntry& entry : listed)
        EXPECT_TRUE(!entry.path.ends_with("fifo.mp3") && !entry.path.ends_with("link.mp3")) << entry.path;
    EXPECT_EQ(expand(music).size(), 5u);
}

TEST_F(ExpandPathTest, PeerAndSearchPaths)
{
    EXPECT_EQ(expand("http://10.0.0.5:5151/download?path=%2fa.mp3"),
              std::vector<std::string>{"http://10.0.0.5:5151/download?path=%2fa.mp3"});
    // A peer that refuses the connection, and (no index yet) searches: these
    // contribute nothing.
    EXPECT_TRUE(expand("http://127.0.0.1:1/stream?path=%2fmusic").empty());
    EXPECT_TRUE(expand("search://b").empty());
    EXPECT_TRUE(expand("searchf://sub").empty());
}
