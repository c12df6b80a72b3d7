#include "library/PlaylistFile.h"
#include "library/PlaylistItemPrinter.h"
#include "library/PlaylistReaders.h"
#include "library/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using library::PlaylistFile;
using library::PlaylistItem;
using librarytest::TempTree;

namespace {

std::vector<PlaylistItem> itemsOf(const PlaylistFile& playlist)
{
    std::vector<PlaylistItem> items;
    for (std::size_t i = 0; i < playlist.itemCount(); ++i)
        items.push_back(playlist.itemAt(i));
    return items;
}

} // namespace

TEST(PlaylistFile, RecognisesPlaylistExtensionsInAnyCase)
{
    for (const char* path : {"a.m3u", "/music/A.M3U", "b.Pls", "m3u", "/x.y/list.pls"})
        EXPECT_TRUE(PlaylistFile::isPlaylistFile(path)) << path;
    for (const char* path : {"a.mp3", "a.m3u8", "x.m3u/", "/dir/m3u", "pls.txt", ""})
        EXPECT_FALSE(PlaylistFile::isPlaylistFile(path)) << path;
}

TEST(PlaylistFile, ReadsByExtension)
{
    TempTree tree;
    const std::string m3uText = "#EXTM3U\r\n#EXTINF:215,Song\r\nsub/a.mp3\r\n";
    const std::string plsText = "[playlist]\nNumberOfEntries=1\nFile1=/abs/b.ogg\nTitle1=B\nLength1=-1\n";

    EXPECT_EQ(itemsOf(PlaylistFile(tree.file("upper.M3U", m3uText))),
              (std::vector<PlaylistItem>{{"sub/a.mp3", "Song", 215}}));
    EXPECT_EQ(itemsOf(PlaylistFile(tree.file("list.pls", plsText))),
              (std::vector<PlaylistItem>{{"/abs/b.ogg", "B", -1}}));
    // The extension picks the reader, not the content.
    EXPECT_EQ(PlaylistFile(tree.file("swapped.m3u", plsText)).itemCount(), 5u);
    EXPECT_EQ(PlaylistFile(tree.file("swapped.pls", m3uText)).itemCount(), 0u);
    EXPECT_EQ(PlaylistFile(tree.file("list.txt", m3uText)).itemCount(), 0u);
    EXPECT_EQ(PlaylistFile(tree.path("missing.m3u")).itemCount(), 0u);
    EXPECT_EQ(PlaylistFile(tree.directory("folder.m3u")).itemCount(), 0u);
    EXPECT_EQ(PlaylistFile(tree.file("empty.m3u", "")).itemCount(), 0u);
}

TEST(PlaylistFile, NeverReadsPipesOrDevices)
{
    TempTree tree;
    const std::string pipe = tree.path("pipe.m3u");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Would block for ever (or read without end) if opened as a file.
    EXPECT_EQ(PlaylistFile(pipe).itemCount(), 0u);
    tree.link("zero.m3u", "/dev/zero");
    EXPECT_EQ(PlaylistFile(tree.path("zero.m3u")).itemCount(), 0u);
}

TEST(PlaylistFile, AHugeFileIsReadOnlyToTheLimit)
{
    TempTree tree;
    const std::string path = tree.file("huge.m3u", "#EXTM3U\n#EXTINF:1,A\na.mp3\n");
    {
        // Three gigabytes of NUL bytes (sparse), then one more entry.
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const off_t end = 3ll << 30;
        const std::string tail = "\n#EXTINF:2,B\nb.mp3\n";
        ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), end), static_cast<ssize_t>(tail.size()));
        ::close(fd);
    }
    EXPECT_EQ(itemsOf(PlaylistFile(path)), (std::vector<PlaylistItem>{{"a.mp3", "A", 1}}));
}

TEST(PlaylistFile, AddAppends)
{
    PlaylistFile playlist;
    EXPECT_EQ(playlist.itemCount(), 0u);
    playlist.add("/m/a.mp3", "A");
    PlaylistItem item{"/m/b.mp3", "B", 42};
    playlist.add(item);
    item.title = "changed";
    EXPECT_EQ(itemsOf(playlist), (std::vector<PlaylistItem>{{"/m/a.mp3", "A", 0}, {"/m/b.mp3", "B", 42}}));
}

TEST(PlaylistFile, WritesExtendedM3uByteForByte)
{
    EXPECT_EQ(PlaylistFile().writeM3u(), "#EXTM3U\n");
    EXPECT_EQ(PlaylistFile().writeM3u("http://h/download?path=", true), "#EXTM3U\n");

    PlaylistFile playlist;
    playlist.add({"/music/a.mp3", "Song", 215});
    playlist.add({"/m/a b&\xC3\xA9.mp3", "Radio, live", -1});
    playlist.add({"", "", 0});

    EXPECT_EQ(playlist.writeM3u(),
              "#EXTM3U\n"
              "#EXTINF:215,Song\n/music/a.mp3\n"
              "#EXTINF:-1,Radio, live\n/m/a b&\xC3\xA9.mp3\n"
              "#EXTINF:0,\n\n");
    EXPECT_EQ(playlist.writeM3u("http://h:5151/download?path=", false),
              "#EXTM3U\n"
              "#EXTINF:215,Song\nhttp://h:5151/download?path=/music/a.mp3\n"
              "#EXTINF:-1,Radio, live\nhttp://h:5151/download?path=/m/a b&\xC3\xA9.mp3\n"
              "#EXTINF:0,\nhttp://h:5151/download?path=\n");
    EXPECT_EQ(playlist.writeM3u("http://h/download?auth=S&path=%2fm%2f", true),
              "#EXTM3U\n"
              "#EXTINF:215,Song\nhttp://h/download?auth=S&path=%2fm%2f%2fmusic%2fa%2emp3\n"
              "#EXTINF:-1,Radio, live\nhttp://h/download?auth=S&path=%2fm%2f%2fm%2fa%20b%26%c3%a9%2emp3\n"
              "#EXTINF:0,\nhttp://h/download?auth=S&path=%2fm%2f\n");
    // The encode flag needs a prefix.
    EXPECT_EQ(playlist.writeM3u("", true), playlist.writeM3u());
}

TEST(PlaylistFile, WrittenLinesCannotBeSplit)
{
    PlaylistFile playlist;
    playlist.add({"/m/a\nb.mp3", "two\nlines\r", 1});
    EXPECT_EQ(playlist.writeM3u(), "#EXTM3U\n#EXTINF:1,two lines \n/m/a b.mp3\n");
    EXPECT_EQ(playlist.writeM3u("p\n", true), "#EXTM3U\n#EXTINF:1,two lines \np %2fm%2fa%0ab%2emp3\n");
}

TEST(PlaylistFile, WriterOutputReadsBack)
{
    PlaylistFile playlist;
    playlist.add({"/music/a.mp3", "Song, with comma", 215});
    playlist.add({"http://peer/download?path=%2fx", "", -1});
    playlist.add({"rel/c.ogg", "C", 0});
    std::vector<PlaylistItem> read;
    library::readM3u(playlist.writeM3u(), read);
    EXPECT_EQ(read, itemsOf(playlist));
}
