// The player facade against the real host player on its own window thread:
// what it sends (recorded by subclassing the player's windows) and what the
// playlist looks like afterwards.
#include "PlayerHarness.h"
#include "settings/Settings.h"
#include "library/MediaLibrary.h"
#include "platform/PlayerMessages.h"
#include "webapp/PlayerFacade.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace platform;
using player::PlayState;
using webapp::InsertItem;
using webapp::PlayerFacade;
using webapp::TrackInfo;
using webapptest::PlayerHarness;
using webapptest::Sent;

namespace {

class Facade : public ::testing::Test {
protected:
    Facade()
    {
        std::filesystem::create_directories(music);
        settings.update([&](auto& d) { d.sharedDirs = {music}; });
    }

    /// A tagged WAV file below the shared directory.
    std::string song(const std::string& relative, int seconds = 30, const std::string& artist = "",
                     const std::string& title = "", const std::string& album = "")
    {
        std::string path = music + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(player::test::writeTaggedWav(path, seconds, artist, title, album)) << path;
        return path;
    }
    std::string text(const std::string& relative, const std::string& content)
    {
        std::string path = music + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    /// Empties the playlist and fills it with `count` entries "/e0" ... of
    /// a minute each, with `current` as the current position.
    void fill(int count, int current = 0)
    {
        harness.onPlayer([&](player::Player& p) {
            p.model().clear();
            for (int i = 0; i < count; ++i)
                p.model().append({"/e" + std::to_string(i), "E" + std::to_string(i), 60000});
            p.model().setPosition(current);
        });
        harness.clearRecorded();
    }

    std::vector<Sent> recorded(int request)
    {
        std::vector<Sent> out;
        for (const Sent& sent : harness.recorded())
            if (sent.message == WM_WA_IPC && sent.request() == request)
                out.push_back(sent);
        return out;
    }

    player::test::TempDirectory dir;
    const std::string music = dir.file("music");
    host::Settings settings{dir.file("gen_Tunelet.ini")};
    library::MediaLibrary library{settings};
    PlayerHarness harness;
    PlayerFacade facade{harness.mainWindow(), &library};
};

} // namespace

TEST_F(Facade, AsksForThePlaylistEditorAtConstruction)
{
    EXPECT_EQ(facade.playlistWindowHandle(), harness.editorWindow());
    EXPECT_EQ(facade.mainWindowHandle(), harness.mainWindow());
}

TEST_F(Facade, AFolderInsertedAtTheTopKeepsThePlayingEntryCurrent)
{
    const std::string album = music + "/album";
    song("album/c.wav");
    song("album/a.wav");
    song("album/sub/b.wav");
    text("album/list.m3u", "a.wav\n");  // playlists are not part of a folder's expansion
    fill(2, 1);
    harness.onPlayer([](player::Player& p) { p.model().play(); });
    harness.clock.advance(5000);

    EXPECT_TRUE(facade.insert({album, "ignored", 0}, 0));

    EXPECT_EQ(harness.files(),
              (std::vector<std::string>{album + "/a.wav", album + "/c.wav", album + "/sub/b.wav", "/e0", "/e1"}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"a.wav", "c.wav", "b.wav", "E0", "E1"}));
    EXPECT_EQ(harness.position(), 4);
    EXPECT_EQ(harness.state(), PlayState::playing);
    EXPECT_EQ(harness.elapsedMs(), 5000) << "the playing entry was not restarted";

    auto adds = recorded(IPC_PLAYFILE);
    ASSERT_EQ(adds.size(), 3u);
    EXPECT_EQ(adds[0].file, album + "/a.wav");
    EXPECT_EQ(adds[0].title, "a.wav");
    EXPECT_EQ(adds[0].length, 0);
}

TEST_F(Facade, MoveItemSwapsStepByStepAndFollowsTheCurrentEntry)
{
    fill(4, 1);
    facade.moveItem(2, 2);
    EXPECT_TRUE(harness.recorded().empty()) << "a move to the same place sends nothing";

    facade.moveItem(3, 0);
    std::vector<std::pair<int, long>> steps;  // request, argument
    for (const Sent& sent : harness.recorded()) {
        if (sent.toEditor && sent.request() == IPC_PE_SWAPINDEX)
            steps.emplace_back(IPC_PE_SWAPINDEX, static_cast<long>(sent.lParam));
        if (!sent.toEditor && sent.request() == IPC_SETPLAYLISTPOS)
            steps.emplace_back(IPC_SETPLAYLISTPOS, static_cast<long>(sent.wParam));
    }
    EXPECT_EQ(steps, (std::vector<std::pair<int, long>>{{IPC_PE_SWAPINDEX, (2 << 16) | 3},
                                                         {IPC_PE_SWAPINDEX, (1 << 16) | 2},
                                                         {IPC_SETPLAYLISTPOS, 2},
                                                         {IPC_PE_SWAPINDEX, (0 << 16) | 1}}));
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e3", "/e0", "/e1", "/e2"}));
    EXPECT_EQ(harness.position(), 2);

    // Whatever moves, the entry that was current stays current.
    struct Case {
        int from, to, current;
        std::vector<std::string> order;
        std::size_t swaps;
    };
    const Case cases[] = {
        {0, 4, 0, {"/e1", "/e2", "/e3", "/e4", "/e0"}, 4},
        {0, 4, 4, {"/e1", "/e2", "/e3", "/e4", "/e0"}, 4},
        {4, 0, 4, {"/e4", "/e0", "/e1", "/e2", "/e3"}, 4},
        {1, 3, 2, {"/e0", "/e2", "/e3", "/e1", "/e4"}, 2},
        {3, 1, 1, {"/e0", "/e3", "/e1", "/e2", "/e4"}, 2},
        // Ends outside the list are its ends: no swap per unit of distance.
        {0, 2000000000, 2, {"/e1", "/e2", "/e3", "/e4", "/e0"}, 4},
        {-2000000000, 2, 3, {"/e1", "/e2", "/e0", "/e3", "/e4"}, 2},
        {9, 0, 0, {"/e4", "/e0", "/e1", "/e2", "/e3"}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.from) + " to " + std::to_string(c.to));
        fill(5, c.current);
        const std::string playing = "/e" + std::to_string(c.current);
        facade.moveItem(c.from, c.to);
        std::vector<std::string> files = harness.files();
        EXPECT_EQ(files, c.order);
        EXPECT_EQ(files.at(static_cast<std::size_t>(harness.position())), playing);
        EXPECT_EQ(recorded(IPC_PE_SWAPINDEX).size(), c.swaps);
    }
}

TEST_F(Facade, PlaylistFileEntriesRelativeAbsoluteAndUrl)
{
    const std::string lists = music + "/lists";
    std::filesystem::create_directories(lists + "/folder");
    ASSERT_EQ(::mkfifo((lists + "/pipe.mp3").c_str(), 0600), 0);
    // Only what a client could name itself goes in: nothing outside the
    // shared directories, nothing but regular (or missing) files.
    const std::string m3u = text("lists/mix.m3u",
                                 "#EXTM3U\n"
                                 "#EXTINF:12,Relative\n"
                                 "sub/r.wav\n"
                                 "#EXTINF:300,Outside\n"
                                 "/srv/other/abs.mp3\n"
                                 "#EXTINF:-1,Radio\n"
                                 "http://127.0.0.1:9/live\n"
                                 "#EXTINF:7,Colon\n"
                                 "odd:name.mp3\n"
                                 "../../etc/passwd\n"
                                 "pipe.mp3\n"
                                 "folder\n"
                                 "#EXTINF:5,Absolute\n" +
                                     music + "/in.wav\n");
    fill(0);
    EXPECT_EQ(facade.enqueueOne({m3u, "not used", 0}), 3);
    auto adds = recorded(IPC_PLAYFILE);
    ASSERT_EQ(adds.size(), 3u);
    auto check = [&](std::size_t i, const std::string& file, const std::string& title) {
        EXPECT_EQ(adds[i].file, file) << i;
        EXPECT_EQ(adds[i].title, title) << i;
        EXPECT_EQ(adds[i].length, -1) << "playlist entries go in with an unknown length";
    };
    check(0, lists + "/sub/r.wav", "Relative");
    check(1, "http://127.0.0.1:9/live", "Radio");
    check(2, music + "/in.wav", "Absolute");
    EXPECT_EQ(facade.enqueueOne({text("lists/passwd.pls", "[playlist]\nNumberOfEntries=1\nFile1=/etc/passwd\n"), "", 0}),
              0);

    const std::string pls = text("lists/deep.PLS", "[playlist]\nNumberOfEntries=1\nFile1=deeper/p.wav\nTitle1=P\n");
    fill(0);
    EXPECT_EQ(facade.enqueueOne({pls, "", 0}), 1);
    EXPECT_EQ(harness.files(), std::vector<std::string>{lists + "/deeper/p.wav"});

    // Inserted in the middle, the entries keep the file's order.
    fill(2, 1);
    EXPECT_TRUE(facade.insert({m3u, "", 0}, 1));
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", lists + "/sub/r.wav", "http://127.0.0.1:9/live",
                                                         music + "/in.wav", "/e1"}));
    EXPECT_EQ(harness.position(), 4);

    // An empty or unreadable playlist adds nothing.
    fill(0);
    EXPECT_FALSE(facade.insert({text("lists/empty.m3u", ""), "", 0}, -1));
    EXPECT_EQ(facade.enqueueOne({music + "/lists/missing.m3u", "", 0}), 0);
    EXPECT_TRUE(harness.files().empty());
}

TEST_F(Facade, PositionsPastTheEndAppend)
{
    const std::string a = song("a.wav"), b = song("b.wav"), c = song("c.wav"), d = song("d.wav");
    fill(2);
    EXPECT_TRUE(facade.insert({a, "A", 0}, 99));
    EXPECT_TRUE(facade.insert({b, "", 0}, -1));
    EXPECT_TRUE(facade.insert({c, "", 0}, 2));
    EXPECT_TRUE(facade.insert({d, "", 0}, -7));
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e1", c, a, b, d}));
    EXPECT_EQ(harness.titles()[3], "A") << "the caller's title goes with the file it named";
    EXPECT_EQ(harness.titles()[4], "b.wav") << "no title: the player names the entry";

    // Nothing playable: nothing added, nothing moved.
    ASSERT_TRUE(player::test::writeTaggedWav(dir.file("outside.wav"), 1, "", "", ""));
    fill(2);
    std::filesystem::create_directories(music + "/empty");
    for (const std::string& path : {music + "/missing.wav", music + "/empty", music + "/../outside.wav",
                                    dir.file("outside.wav"), std::string()}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(facade.insert({path, "", 0}, 0));
    }
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e1"}));
    EXPECT_TRUE(recorded(IPC_PE_SWAPINDEX).empty());

    fill(0);
    EXPECT_TRUE(facade.insert({a, "", 0}, 0));
    EXPECT_EQ(harness.files(), std::vector<std::string>{a});
}

TEST_F(Facade, TrackInfoReadsTheTagsAndWritesTheLength)
{
    const std::string tagged = song("tagged.wav", 65, "The Artist", "The Title", "The Album");
    fill(0);
    ASSERT_TRUE(facade.insert({tagged, "", 0}, -1));
    TrackInfo info;
    info.filename = tagged;
    facade.trackInfo(info);
    EXPECT_EQ(info.album, "The Album");
    EXPECT_EQ(info.artist, "The Artist");
    EXPECT_EQ(info.title, "The Title");
    EXPECT_EQ(info.lengthText, "1:05");
    EXPECT_EQ(info.lengthMs, 65000);
    EXPECT_EQ(info.bitrate, 64);
    EXPECT_EQ(recorded(IPC_GET_EXTENDED_FILE_INFO).size(), 4u);

    // Length texts as the player might give them.
    std::string answer;
    harness.setIntercept([&](bool toEditor, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (toEditor || message != WM_WA_IPC || lParam != IPC_GET_EXTENDED_FILE_INFO)
            return std::nullopt;
        auto* request = reinterpret_cast<extendedFileInfoStruct*>(wParam);
        std::string value = std::strcmp(request->metadata, "length") == 0 ? answer : "x";
        std::snprintf(request->ret, request->retlen, "%s", value.c_str());
        return 1;
    });
    auto check = [&](const std::string& length, const std::string& text, int ms) {
        answer = length;
        TrackInfo read;
        read.filename = tagged;
        facade.trackInfo(read);
        EXPECT_EQ(read.lengthText, text) << '"' << length << '"';
        EXPECT_EQ(read.lengthMs, ms) << '"' << length << '"';
        EXPECT_EQ(read.title, "x");
    };
    check("59999", "0:59", 59999);
    check("60000", "1:00", 60000);
    check("185000", "3:05", 185000);
    check("3600000", "60:00", 3600000);
    check("9000", "0:09", 9000);
    check("12345abc", "0:12", 12345);
    check("abc", "0:00", 0);
    check("", "0:00", 0);
    check("-5000", "0:00", 0);
    check("99999999999999", "35791:23", INT_MAX);
}

TEST_F(Facade, TextsOfEntriesAndTheirEnds)
{
    fill(3);
    EXPECT_EQ(facade.fileAt(1), "/e1");
    EXPECT_EQ(facade.titleAt(2), "E2");
    for (int index : {3, 4, -1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(facade.fileAt(index), "") << index;
        EXPECT_EQ(facade.titleAt(index), "") << index;
    }
    EXPECT_EQ(facade.listLength(), 3);
    facade.deleteIndex(0);
    facade.deleteIndex(7);
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e1", "/e2"}));
}

TEST_F(Facade, SeekFractionOfTheTrackLength)
{
    fill(2);
    harness.onPlayer([](player::Player& p) { p.model().play(); });
    auto jumps = [&] {
        std::vector<int> out;
        for (const Sent& sent : recorded(IPC_JUMPTOTIME))
            out.push_back(static_cast<int>(static_cast<std::intptr_t>(sent.wParam)));
        harness.clearRecorded();
        return out;
    };
    facade.seekFraction(0.25);
    EXPECT_EQ(jumps(), std::vector<int>{15000});
    EXPECT_EQ(harness.elapsedMs(), 15000);
    facade.seekFraction(0.50001);
    EXPECT_EQ(jumps(), std::vector<int>{30000}) << "truncated";
    facade.seekFraction(std::nan(""));
    EXPECT_EQ(jumps(), std::vector<int>{0});
    facade.seekFraction(-1e300);
    EXPECT_EQ(jumps(), std::vector<int>{INT_MIN});
    EXPECT_EQ(harness.elapsedMs(), 0);
    facade.seekFraction(1e300);
    EXPECT_EQ(jumps(), std::vector<int>{INT_MAX});
    EXPECT_EQ(harness.position(), 1) << "a position past the end ends the entry";
}

TEST_F(Facade, PlayIfNotEmpty)
{
    fill(0);
    facade.playIfNotEmpty();
    auto commands = [&] {
        std::vector<WPARAM> out;
        for (const Sent& sent : harness.recorded())
            if (sent.message == WM_COMMAND)
                out.push_back(sent.wParam);
        return out;
    };
    EXPECT_TRUE(commands().empty());
    fill(1);
    facade.playIfNotEmpty();
    EXPECT_EQ(commands(), std::vector<WPARAM>{WINAMP_BUTTON2});
    EXPECT_EQ(harness.state(), PlayState::playing);
}

TEST(ExpandedTitle, PeerUrlsByTheirPathParameterOthersByTheirFileName)
{
    auto check = [](const std::string& path, const std::string& title) {
        EXPECT_EQ(PlayerFacade::expandedTitle(path), title) << path;
    };
    check("http://127.0.0.1:5151/stream?path=%2Fmusic%2FSong%20One.mp3&auth=x", "Song One.mp3");
    check("http://127.0.0.1:5151/stream?path=%2Fa%2Fb.mp3", "b.mp3");
    check("http://127.0.0.1/x?path=%2Ffirst.mp3&path=%2Fm%2Flast.mp3", "last.mp3");
    check("http://127.0.0.1/x?path=%2Fa%2Fb%26c.mp3&y=1", "b&c.mp3");
    check("http://127.0.0.1/x?path=plain.mp3", "plain.mp3");
    check("http://127.0.0.1/dir/file%20name.mp3", "file name.mp3");
    check("/music/album/song.wav", "song.wav");
    check("/music/album/%20kept.wav", "%20kept.wav");
    check("song.wav", "song.wav");
}
