#include "library/LibraryFixture.h"
#include "library/LibraryPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using library::FindData;
using library::LibraryEntry;
using librarytest::LibraryTest;
using librarytest::TempTree;

namespace {

bool isZero(const FindData& data)
{
    return data.attributes == 0 && data.creationTime.value() == 0 && data.lastAccessTime.value() == 0 &&
           data.lastWriteTime.value() == 0 && data.sizeHigh == 0 && data.sizeLow == 0 && data.name.empty();
}

// 1,000,000,000 s after 1970 as 100-ns units after 1601.
constexpr std::uint64_t billionSecondsAsFileTime = (1000000000ull + 11644473600ull) * 10000000ull;

} // namespace

TEST(LibraryPath, ExtensionsNamesAndSeparators)
{
    using library::extensionOf;
    EXPECT_EQ(extensionOf("Song.MP3"), "mp3");
    EXPECT_EQ(extensionOf("Album.Live.Flac"), "flac");
    EXPECT_EQ(extensionOf("mp3"), "mp3");
    EXPECT_EQ(extensionOf("README"), "readme");
    EXPECT_EQ(extensionOf("trailing."), "");
    EXPECT_EQ(extensionOf("\xC3\x89.\xC3\x89"), "\xC3\x89");  // bytes above 0x7f untouched

    EXPECT_EQ(library::fileNamePart("/music/sub/a.mp3"), "a.mp3");
    EXPECT_EQ(library::fileNamePart("/music/sub/"), "");
    EXPECT_EQ(library::fileNamePart("plain"), "plain");

    EXPECT_EQ(library::withoutTrailingSeparators("/music///"), "/music");
    EXPECT_EQ(library::withoutTrailingSeparators("/"), "");
    EXPECT_EQ(library::withoutTrailingSeparators("/a/b"), "/a/b");
    EXPECT_EQ(library::sharedDirectoryForm("/music///"), "/music");
    EXPECT_EQ(library::sharedDirectoryForm("///"), "/");
    EXPECT_EQ(library::sharedDirectoryForm(""), "");

    auto climbs = [](std::string_view path) { return library::climbsOrHidesParts(path); };
    EXPECT_TRUE(climbs("/music/../etc"));
    EXPECT_TRUE(climbs("/music/."));
    EXPECT_TRUE(climbs(".."));
    EXPECT_TRUE(climbs("/a/./b"));
    EXPECT_TRUE(climbs(std::string_view("/a/b\0/c", 7)));
    EXPECT_FALSE(climbs("/music/...mp3"));
    EXPECT_FALSE(climbs("/music/..a/b."));
    EXPECT_FALSE(climbs("/music//a.mp3"));
    EXPECT_FALSE(climbs(""));
}

TEST(LibraryPath, AlbumAndArtistPathsCarryAnyTextAndRefuseOtherShapes)
{
    EXPECT_EQ(library::albumPath("AC/DC", "Live 1+1"), "album://AC%2fDC/Live%201%2b1");
    EXPECT_EQ(library::artistPath("Zed"), "artist://Zed");
    const struct {
        std::string path;
        bool parses;
        library::TagPath parts;
    } cases[] = {
        {library::albumPath("AC/DC", "B\xc3\xa9/x"), true, {true, "AC/DC", "B\xc3\xa9/x"}},
        {library::albumPath("", "Untitled"), true, {true, "", "Untitled"}},
        {library::artistPath("a/b c"), true, {false, "a/b c", ""}},
        {"album://Zed", false, {}},
        {"album://a/b/c", false, {}},
        {"artist://a/b", false, {}},
        {"albums://a/b", false, {}},
        {"/music/album://a/b", false, {}},
    };
    for (const auto& c : cases) {
        library::TagPath parts;
        EXPECT_EQ(library::parseTagPath(c.path, parts), c.parses) << c.path;
        if (c.parses) {
            EXPECT_EQ(std::tie(parts.isAlbum, parts.artist, parts.album),
                      std::tie(c.parts.isAlbum, c.parts.artist, c.parts.album)) << c.path;
        }
    }
    EXPECT_FALSE(library::isLocalPath("album://a/b"));
    EXPECT_FALSE(library::isLocalPath("artist://a"));
    EXPECT_TRUE(library::isLocalPath("albums://a/b"));
}

TEST_F(LibraryTest, PathAllowedOnlyInsideSharedDirectories)
{
    const std::string music = tree.path("music");
    const std::string slashed = tree.path("slashed/");
    settings.update([&](auto& d) { d.sharedDirs = {music, slashed}; });

    const std::map<std::string, bool> cases = {
        {music, true},
        {music + "/", true},
        {music + "///", true},
        {music + "/a.mp3", true},
        {music + "/sub/b.mp3", true},
        {music + "//sub/b.mp3", true},
        {music + "/...mp3", true},
        {music + "/..hidden/b.mp3", true},
        // A sibling that shares the prefix, and the case of the prefix.
        {tree.path("music2/a.mp3"), false},
        {tree.path("musicBox"), false},
        {tree.path("Music/a.mp3"), false},
        // Climbing out, or hiding a part behind a NUL.
        {music + "/../etc/passwd", false},
        {music + "/sub/../../secret/s.mp3", false},
        {music + "/..", false},
        {music + "/../", false},
        {music + "/./a.mp3", false},
        {music + "/sub/..", false},
        {music + std::string("/..\0/x", 6), false},
        {music + std::string("/a.mp3\0", 7), false},
        // A directory stored with a trailing separator allows nothing
        // ordinary below it.
        {tree.path("slashed/a.mp3"), false},
        {tree.path("slashed"), false},
        {tree.path("slashed//a.mp3"), true},
        // The other path kinds, by their exact prefixes.
        {"http://10.0.0.5:5151/download?path=x", true},
        {"search://beatles", true},
        {"searchf://", true},
        {"searchf://../../etc", true},
        {"Search://beatles", false},
        {"HTTP://host/a.mp3", false},
        {"/etc/passwd", false},
        {"", false},
    };
    for (const auto& [path, allowed] : cases)
        EXPECT_EQ(library.isPathAllowed(path), allowed) << path;
}

TEST_F(LibraryTest, SharedDirectoriesAreReadLive)
{
    const std::string music = tree.path("music");
    EXPECT_FALSE(library.isPathAllowed(music + "/a.mp3"));
    settings.update([&](auto& d) { d.sharedDirs = {tree.path("other"), music}; });
    EXPECT_TRUE(library.isPathAllowed(music + "/a.mp3"));
    EXPECT_EQ(library.sharedDirectories(), settings.snapshot().sharedDirs);

    // An empty entry would be a prefix of every path.
    settings.update([&](auto& d) { d.sharedDirs = {""}; });
    EXPECT_FALSE(library.isPathAllowed("/etc/passwd"));
    EXPECT_FALSE(library.isPathAllowed(""));

    // The shared root allows every absolute path, but still no climbing.
    settings.update([&](auto& d) { d.sharedDirs = {"/"}; });
    EXPECT_TRUE(library.isPathAllowed("/"));
    EXPECT_TRUE(library.isPathAllowed(music + "/a.mp3"));
    EXPECT_FALSE(library.isPathAllowed("/music/../etc"));
}

TEST_F(LibraryTest, ExtensionSetsAndListableNames)
{
    const std::set<std::string, std::less<>> media = {"mp3", "mp2", "mp1", "wav", "ogg", "flac", "m4a", "ape", "aac",
                                                      "wma", "m3u", "pls", "avi", "mpg", "mp4", "wmv", "mov"};
    EXPECT_EQ(library.mediaExtensions, media);
    EXPECT_EQ(library.playlistExtensions, (std::set<std::string, std::less<>>{"m3u", "pls"}));

    constexpr std::uint32_t dir = FindData::directoryAttribute;
    constexpr std::uint32_t file = FindData::normalAttribute;
    struct Case {
        const char* name;
        std::uint32_t attributes;
        bool withPlaylists;
        bool listable;
    };
    const Case cases[] = {
        {"Song.MP3", file, false, true},   {"mp3", file, false, true},     {"readme", file, true, false},
        {"notes.txt", file, true, false},  {"trailing.", file, true, false}, {"a.b.FLAC", file, false, true},
        {"Disc.1", dir, false, true},      {"..", dir, false, true},       {".", dir, true, false},
        {"list.m3u", file, true, true},    {"list.M3U", file, false, false}, {"x.pls", dir, true, true},
        {"x.pls", dir, false, false},      {"movie.mov", file, false, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(library.isListable(c.name, c.attributes, c.withPlaylists), c.listable)
            << c.name << " playlists " << c.withPlaylists;
}

TEST_F(LibraryTest, ListDirectoryShowsMediaPlaylistsAndDirectories)
{
    const std::string music = tree.directory("music");
    tree.file("music/Song.MP3", "12345");
    tree.file("music/mp3", "");
    tree.file("music/readme", "text");
    tree.file("music/notes.txt");
    tree.file("music/a.m3u");
    tree.file("music/b.PLS");
    tree.directory("music/Disc.1");
    tree.file("music/Disc.1/inner.mp3");
    tree.link("music/linked.ogg", music + "/Song.MP3");
    tree.link("music/dangling.mp3", music + "/nowhere.mp3");
    TempTree::setModified(music + "/Song.MP3", 1000000000);

    std::vector<LibraryEntry> entries{{"kept", 1, {}, 2}};
    library.listDirectory(music + "//", entries);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().path, "kept");  // the library only appends

    std::map<std::string, LibraryEntry> byName;
    for (std::size_t i = 1; i < entries.size(); ++i)
        byName[std::string(library::fileNamePart(entries[i].path))] = entries[i];
    std::vector<std::string> names;
    for (const auto& [name, entry] : byName) {
        names.push_back(name);
        EXPECT_EQ(entry.path, music + "/" + name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"..", "Disc.1", "Song.MP3", "a.m3u", "b.PLS", "linked.ogg", "mp3"}));

    EXPECT_EQ(byName["Song.MP3"].attributes, FindData::normalAttribute);
    EXPECT_EQ(byName["Song.MP3"].size, 5u);
    EXPECT_EQ(byName["Song.MP3"].modified.value(), billionSecondsAsFileTime);
    EXPECT_EQ(byName["linked.ogg"].size, 5u);  // the link's target
    EXPECT_EQ(byName["Disc.1"].attributes, FindData::directoryAttribute);
    EXPECT_EQ(byName["Disc.1"].size, 0u);
    EXPECT_EQ(byName[".."].attributes, FindData::directoryAttribute);

    // The file system's order, not a sorted one.
    std::vector<std::string> listed;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (entries[i].path != music + "/..")
            listed.push_back(std::string(library::fileNamePart(entries[i].path)));
    }
    std::vector<std::string> enumerated;
    for (const auto& child : std::filesystem::directory_iterator(music)) {
        const std::string name = child.path().filename().string();
        if (std::find(names.begin(), names.end(), name) != names.end())
            enumerated.push_back(name);
    }
    EXPECT_EQ(listed, enumerated);
}

TEST_F(LibraryTest, ListDirectoryOfNothingAddsNothing)
{
    tree.file("music/a.mp3");
    std::vector<LibraryEntry> entries;
    library.listDirectory(tree.path("missing"), entries);
    library.listDirectory(tree.path("music/a.mp3"), entries);
    library.listDirectory(std::string(tree.path("music") + std::string("\0/x", 3)), entries);
    EXPECT_TRUE(entries.empty());
}

TEST_F(LibraryTest, FileInfoOfAllowedListableEntries)
{
    const std::string music = tree.directory("music");
    tree.file("music/a.mp3", "abc");
    tree.file("music/list.m3u", "#EXTM3U\n");
    tree.file("music/notes.txt", "abc");
    tree.directory("music/sub");
    tree.file("secret/s.mp3", "secret");
    TempTree::setModified(music + "/a.mp3", 1000000000);
    settings.update([&](auto& d) { d.sharedDirs = {music}; });

    const FindData file = library.fileInfo(music + "/a.mp3");
    EXPECT_EQ(file.name, "a.mp3");
    EXPECT_EQ(file.attributes, FindData::normalAttribute);
    EXPECT_EQ(file.sizeLow, 3u);
    EXPECT_EQ(file.sizeHigh, 0u);
    EXPECT_EQ(file.lastWriteTime.value(), billionSecondsAsFileTime);

    const FindData directory = library.fileInfo(music + "/sub");
    EXPECT_EQ(directory.name, "sub");
    EXPECT_NE(directory.attributes & FindData::directoryAttribute, 0u);
    EXPECT_EQ(library.fileInfo(music + "/sub/").name, "sub");
    EXPECT_EQ(library.fileInfo(music).name, "music");
    EXPECT_EQ(library.fileInfo(music + "/list.m3u").name, "list.m3u");

    for (const std::string& refused : {music + "/notes.txt", music + "/missing.mp3", tree.path("secret/s.mp3"),
                                       music + "/../secret/s.mp3", music + "/sub/../a.mp3", music + "/.",
                                       std::string("http://host/a.mp3"), std::string("search://a")})
        EXPECT_TRUE(isZero(library.fileInfo(refused))) << refused;
}

TEST_F(LibraryTest, SizesAboveFourGigabytesKeepTheirLowWord)
{
    const std::string big = tree.file("music/big.wav", "");
    const std::uint64_t size = (5ull << 30) + 123;
    ASSERT_EQ(::truncate(big.c_str(), static_cast<off_t>(size)), 0);
    settings.update([&](auto& d) { d.sharedDirs = {tree.path("music")}; });

    const FindData info = library.fileInfo(big);
    EXPECT_EQ(info.sizeLow, static_cast<std::uint32_t>(size));
    EXPECT_EQ(info.sizeHigh, 1u);
    std::vector<LibraryEntry> entries;
    library.listDirectory(tree.path("music"), entries);
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.path == big; });
    ASSERT_NE(found, entries.end());
    EXPECT_EQ(found->size, (1u << 30) + 123);
}

TEST_F(LibraryTest, SearchWithoutAnIndexFindsNothing)
{
    std::vector<LibraryEntry> entries;
    EXPECT_EQ(library.search("", false, entries), 0u);
    EXPECT_EQ(library.search("beatles", true, entries), 0u);
    EXPECT_TRUE(entries.empty());
}
