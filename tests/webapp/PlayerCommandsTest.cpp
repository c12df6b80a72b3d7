// The player commands over loopback: every command's answer and what it did
// to the real player's model.
#include "ServedPlayer.h"
#include "TaggedLibrary.h"
#include "library/LibraryPath.h"
#include "library/CannedPeer.h"
#include "library/FetchUrl.h"
#include "platform/PlayerMessages.h"
#include "support/WaitUntil.h"
#include "webapp/PlayerCommands.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RouteParameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace platform;
using player::PlayState;
using webapptest::Sent;

namespace {

class Commands : public webapptest::ServedPlayer {
protected:
    int volume()
    {
        int out = 0;
        harness.onPlayer([&](player::Player& p) { out = p.model().volume(); });
        return out;
    }
    std::pair<bool, bool> shuffleAndRepeat()
    {
        std::pair<bool, bool> out;
        harness.onPlayer([&](player::Player& p) { out = {p.model().shuffle(), p.model().repeat()}; });
        return out;
    }
};

const char* const commandNames[] = {
    "prev", "play", "pause", "stop", "next", "getvolume", "setvolume", "enqueuefile", "enqueuefilenext",
    "insertfile", "playfile", "getplaylistlength", "getplaylistfilename", "getplaylisttitle", "getplaylistpos",
    "setplaylistpos", "deleteplaylistitem", "moveplaylistitem", "clearplaylist", "enqueueplaylist",
    "playplaylist", "getshuffle", "setshuffle", "getrepeat", "setrepeat", "toggleshuffle", "togglerepeat",
    "getposition", "setposition", "ffw5s", "rew5s"};

} // namespace

TEST_F(Commands, EveryCommandIsARouteAnsweringPlainTextAndNoCaching)
{
    EXPECT_EQ(std::size(commandNames), 31u);
    fill(0);
    for (const char* name : commandNames) {
        SCOPED_TRACE(name);
        Answer answer = get(name);
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.header("Content-Type"), "text/plain; charset=UTF-8");
        EXPECT_EQ(answer.header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(answer.header("Cache-Control"), "no-cache, must-revalidate");
        EXPECT_EQ(answer.header("Expires"), "-1");
    }
    EXPECT_EQ(get("Prev").status, 404);
    EXPECT_EQ(get("prev/").status, 404);
}

TEST_F(Commands, Transport)
{
    fill(0);
    EXPECT_EQ(body("play"), "1");
    EXPECT_EQ(harness.state(), PlayState::stopped) << "nothing to play";
    for (const Sent& sent : harness.recorded())
        EXPECT_NE(sent.message, WM_COMMAND) << "no play command for an empty list";

    fill(3);
    EXPECT_EQ(body("play"), "1");
    EXPECT_EQ(harness.state(), PlayState::playing);
    EXPECT_EQ(body("pause"), "1");
    EXPECT_EQ(harness.state(), PlayState::paused);
    EXPECT_EQ(body("pause"), "1");
    EXPECT_EQ(harness.state(), PlayState::playing);
    EXPECT_EQ(body("next"), "1");
    EXPECT_EQ(body("next"), "2");
    EXPECT_EQ(harness.position(), 2);
    EXPECT_EQ(body("prev"), "1");
    EXPECT_EQ(body("prev"), "0");
    EXPECT_EQ(body("prev"), "2") << "the player's own rule: back from the first wraps to the last";
    EXPECT_EQ(harness.state(), PlayState::playing);

    harness.clock.advance(12000);
    EXPECT_EQ(body("ffw5s"), "1");
    EXPECT_EQ(harness.elapsedMs(), 17000);
    EXPECT_EQ(body("rew5s"), "1");
    EXPECT_EQ(body("rew5s"), "1");
    EXPECT_EQ(harness.elapsedMs(), 7000);
    EXPECT_EQ(body("stop"), "1");
    EXPECT_EQ(harness.state(), PlayState::stopped);

    std::vector<WPARAM> commands;
    for (const Sent& sent : harness.recorded())
        if (sent.message == WM_COMMAND)
            commands.push_back(sent.wParam);
    EXPECT_EQ(commands, (std::vector<WPARAM>{WINAMP_BUTTON2, WINAMP_BUTTON3, WINAMP_BUTTON3, WINAMP_BUTTON5,
                                             WINAMP_BUTTON5, WINAMP_BUTTON1, WINAMP_BUTTON1, WINAMP_BUTTON1,
                                             WINAMP_FFWD5S, WINAMP_REW5S, WINAMP_REW5S, WINAMP_BUTTON4}));
}

TEST_F(Commands, VolumeShuffleAndRepeat)
{
    EXPECT_EQ(body("getvolume"), "255");
    EXPECT_EQ(body("setvolume", {{"level", "100"}}), "1");
    EXPECT_EQ(volume(), 100);
    EXPECT_EQ(body("getvolume"), "100");
    EXPECT_EQ(body("setvolume", {{"level", "37abc"}}), "1");
    EXPECT_EQ(body("getvolume"), "37");
    EXPECT_EQ(body("setvolume"), "1");
    EXPECT_EQ(volume(), 0) << "a missing level reads as 0";
    harness.clearRecorded();
    EXPECT_EQ(body("setvolume", {{"level", "999"}}), "1");
    EXPECT_EQ(volume(), 255) << "the player clamps";
    ASSERT_FALSE(harness.recorded().empty());
    EXPECT_EQ(harness.recorded().back().wParam, 999u) << "the value goes to the player unchanged";

    EXPECT_EQ(body("getshuffle"), "0");
    EXPECT_EQ(body("getrepeat"), "0");
    EXPECT_EQ(body("setshuffle", {{"setting", "on"}}), "1");
    EXPECT_EQ(shuffleAndRepeat(), std::make_pair(true, false));
    EXPECT_EQ(body("getshuffle"), "1");
    EXPECT_EQ(body("setrepeat", {{"setting", "on"}}), "1");
    EXPECT_EQ(body("getrepeat"), "1");
    for (const char* setting : {"On", "ON", "on ", "1", "true", ""}) {
        SCOPED_TRACE(setting);
        EXPECT_EQ(body("setshuffle", {{"setting", setting}}), "1");
        EXPECT_EQ(body("setrepeat", {{"setting", setting}}), "1");
        EXPECT_EQ(shuffleAndRepeat(), std::make_pair(false, false)) << "only \"on\" turns a setting on";
        body("setshuffle", {{"setting", "on"}});
        body("setrepeat", {{"setting", "on"}});
    }
    EXPECT_EQ(body("toggleshuffle"), "1");
    EXPECT_EQ(shuffleAndRepeat(), std::make_pair(false, true));
    EXPECT_EQ(body("togglerepeat"), "1");
    EXPECT_EQ(shuffleAndRepeat(), std::make_pair(false, false));
    EXPECT_EQ(body("toggleshuffle"), "1");
    EXPECT_EQ(body("getshuffle"), "1");
}

TEST_F(Commands, PlaylistQueriesAndEdits)
{
    fill(4);
    EXPECT_EQ(body("getplaylistlength"), "4");
    EXPECT_EQ(body("getplaylistfilename", {{"index", "1"}}), "/e1");
    EXPECT_EQ(body("getplaylisttitle", {{"index", "2"}}), "E2");
    EXPECT_EQ(body("getplaylistfilename", {{"index", "4"}}), "");
    EXPECT_EQ(body("getplaylisttitle", {{"index", "-1"}}), "");
    EXPECT_EQ(body("getplaylistfilename"), "/e0") << "a missing index reads as 0";
    EXPECT_EQ(body("getplaylistpos"), "0");
    EXPECT_EQ(body("setplaylistpos", {{"index", "2"}}), "1");
    EXPECT_EQ(body("getplaylistpos"), "2");
    EXPECT_EQ(body("setplaylistpos", {{"index", "40"}}), "1");
    EXPECT_EQ(harness.position(), 2) << "the player ignores an index past the end";

    EXPECT_EQ(body("moveplaylistitem", {{"from", "3"}, {"to", "0"}}), "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e3", "/e0", "/e1", "/e2"}));
    EXPECT_EQ(harness.position(), 3) << "the current entry moved along";
    EXPECT_EQ(body("moveplaylistitem", {{"from", "0"}, {"to", "99999999999"}}), "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e1", "/e2", "/e3"}));

    EXPECT_EQ(body("deleteplaylistitem", {{"index", "1"}}), "1");
    EXPECT_EQ(body("deleteplaylistitem", {{"index", "9"}}), "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e2", "/e3"}));
    EXPECT_EQ(body("getplaylistlength"), "3");
    EXPECT_EQ(body("clearplaylist"), "1");
    EXPECT_TRUE(harness.files().empty());
    EXPECT_EQ(body("getplaylistlength"), "0");
}

TEST_F(Commands, FileRoutesAddAllowedPathsAtTheirPlaces)
{
    const std::string a = song("a.wav"), b = song("b.wav"), c = song("c.wav");
    song("folder/y.wav");
    song("folder/x.wav");
    fill(2);
    EXPECT_EQ(body("enqueuefile", {{"filename", a}, {"title", "Title A"}}), "1");
    EXPECT_EQ(body("enqueuefilenext", {{"filename", b}}), "1");
    EXPECT_EQ(body("insertfile", {{"filename", c}, {"index", "1"}}), "1");
    EXPECT_EQ(body("insertfile", {{"filename", music + "/folder/"}}), "1") << "no index: at the top";
    EXPECT_EQ(harness.files(), (std::vector<std::string>{music + "/folder/x.wav", music + "/folder/y.wav", "/e0", c,
                                                         b, "/e1", a}));
    EXPECT_EQ(harness.titles()[6], "Title A");
    EXPECT_EQ(body("insertfile", {{"filename", a}, {"index", "70"}}), "1");
    EXPECT_EQ(harness.files().back(), a) << "past the end appends";

    // From the current position: after the third entry.
    harness.onPlayer([](player::Player& p) { p.model().setPosition(2); });
    EXPECT_EQ(body("enqueuefilenext", {{"filename", b}, {"title", "next"}}), "1");
    EXPECT_EQ(harness.titles()[3], "next");
    EXPECT_EQ(harness.position(), 2);
}

TEST_F(Commands, AlbumAndArtistPathsAddTheirTracksInTrackOrder)
{
    const webapptest::TaggedLibrary songs(music, dir.file("outside"));
    songs.index(application, settings);
    fill(1);
    EXPECT_EQ(body("enqueuefile", {{"filename", library::albumPath("Zed", "Alpha")}}), "1");
    EXPECT_EQ(body("insertfile", {{"filename", library::artistPath("Zed")}, {"index", "0"}}), "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{songs.gamma, songs.alpha1, songs.alpha2, songs.alpha3, "/e0",
                                                         songs.alpha1, songs.alpha2, songs.alpha3}));
    EXPECT_EQ(body("playfile", {{"filename", library::albumPath(webapptest::TaggedLibrary::nonAscii, "Beta")}}), "1");
    EXPECT_EQ(harness.files(), std::vector<std::string>{songs.beta});
    EXPECT_EQ(body("enqueuefile", {{"filename", library::albumPath("Zed", "None")}}), "0");
}

TEST_F(Commands, FileRoutesRefuseWhatIsNotShared)
{
    const std::string secret = dir.file("secret.wav");
    ASSERT_TRUE(player::test::writeTaggedWav(secret, 5, "", "", ""));
    const std::string inside = song("in.wav");
    const std::string refused[] = {secret, music + "/../secret.wav", music + "/./in.wav", music + "2/in.wav",
                                   "/etc/passwd", "", "relative/in.wav"};
    fill(2);
    harness.onPlayer([](player::Player& p) { p.model().play(); });
    for (const std::string& path : refused) {
        SCOPED_TRACE(path);
        for (const char* route : {"enqueuefile", "enqueuefilenext", "insertfile", "playfile"})
            EXPECT_EQ(body(route, {{"filename", path}, {"title", "t"}, {"index", "0"}}), "0") << route;
    }
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e1"}));
    EXPECT_EQ(harness.state(), PlayState::playing) << "a refused playfile stops nothing";
    for (const Sent& sent : harness.recorded())
        EXPECT_FALSE(sent.message == WM_WA_IPC && !sent.toEditor &&
                     (sent.lParam == IPC_PLAYFILE || sent.lParam == IPC_DELETE));

    // Playlist lines pass the same test, one by one.
    const std::string lines = "Secret\t" + secret + "\nClimb\t" + music + "/../secret.wav\nIn\t" + inside +
                              "\nPasswd\t/etc/passwd\n";
    EXPECT_EQ(body("enqueueplaylist", {{"playlist", lines}}), "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", "/e1", inside}));
    EXPECT_EQ(body("playplaylist", {{"playlist", lines}}), "1");
    EXPECT_EQ(harness.files(), std::vector<std::string>{inside});
    EXPECT_EQ(harness.titles(), std::vector<std::string>{"In"});
}

TEST_F(Commands, PlayFileReplacesThePlaylistAndPlays)
{
    const std::string a = song("a.wav", 40, "", "Song A");
    fill(3);
    harness.onPlayer([](player::Player& p) {
        p.model().setPosition(2);
        p.model().play();
    });
    harness.clock.advance(3000);
    EXPECT_EQ(body("playfile", {{"filename", a}}), "1");
    EXPECT_EQ(harness.files(), std::vector<std::string>{a});
    EXPECT_EQ(harness.state(), PlayState::playing);
    EXPECT_EQ(harness.position(), 0);
    EXPECT_EQ(harness.elapsedMs(), 0);

    std::vector<std::string> steps;
    for (const Sent& sent : harness.recorded()) {
        if (sent.message == WM_COMMAND)
            steps.push_back("command " + std::to_string(sent.wParam));
        else if (!sent.toEditor && (sent.lParam == IPC_DELETE || sent.lParam == IPC_PLAYFILE))
            steps.push_back("ipc " + std::to_string(sent.lParam));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"command 40047", "ipc 101", "ipc 100", "command 40045"}));

    // A folder without anything playable: the list is gone, nothing plays.
    std::filesystem::create_directories(music + "/empty");
    EXPECT_EQ(body("playfile", {{"filename", music + "/empty"}}), "0");
    EXPECT_TRUE(harness.files().empty());
    EXPECT_EQ(harness.state(), PlayState::stopped);
}

TEST_F(Commands, PlaylistLinesAndPlayPlaylist)
{
    const std::string a = song("a.wav"), b = song("b.wav"), c = song("c.wav");
    fill(1);
    // A line without a tab, and text after the last line feed, add nothing.
    EXPECT_EQ(body("enqueueplaylist", {{"playlist", "First\t   " + a + "\nno tab " + b + "\n\tb\n" + "Last\t" + c}}),
              "1");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{"/e0", a}));
    EXPECT_EQ(harness.titles()[1], "First");
    EXPECT_EQ(body("enqueueplaylist", {{"playlist", "Only\t" + c}}), "1");
    EXPECT_EQ(harness.files().size(), 2u);
    EXPECT_EQ(body("enqueueplaylist"), "1");

    harness.onPlayer([](player::Player& p) { p.model().play(); });
    EXPECT_EQ(body("playplaylist", {{"playlist", "B\t" + b + "\nC\t" + c + "\n"}}), "1");
    // The answer goes out before playback starts; the connection's next
    // request is read only once the handler has finished.
    EXPECT_EQ(body("getplaylistpos"), "0");
    EXPECT_EQ(harness.files(), (std::vector<std::string>{b, c}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(harness.state(), PlayState::playing);
    EXPECT_EQ(harness.position(), 0);

    EXPECT_EQ(body("playplaylist", {{"playlist", ""}}), "1");
    EXPECT_EQ(body("getplaylistlength"), "0");
    EXPECT_TRUE(harness.files().empty());
    EXPECT_EQ(harness.state(), PlayState::stopped);

    auto check = [](std::string_view text, std::vector<webapp::PlaylistLine> expected) {
        EXPECT_EQ(webapp::playlistLines(text), expected) << text;
    };
    check("", {});
    check("a\tb", {});
    check("a\tb\n", {{"a", "b"}});
    check("a\t  b c \n\n", {{"a", "b c "}});
    check("\t\n", {{"", ""}});
    check("a\t   \n", {{"a", ""}});
    check("x\ty\tz\r\n", {{"x", "y\tz\r"}});
    check("t1\tf1\nnone\nt2\t\tf2\n", {{"t1", "f1"}, {"t2", "\tf2"}});
}

TEST_F(Commands, PositionAsAFractionOfTheLength)
{
    fill(0);
    EXPECT_EQ(body("getposition"), "0") << "nothing loaded: the player reports a length of -1";
    fill(2, 40000);
    harness.onPlayer([](player::Player& p) { p.model().play(); });
    harness.clock.advance(10000);
    EXPECT_EQ(body("getposition"), "0.25");
    EXPECT_EQ(body("setposition", {{"pos", "0.5"}}), "1");
    EXPECT_EQ(harness.elapsedMs(), 20000);
    EXPECT_EQ(body("getposition"), "0.5");
    harness.clock.advance(1);
    EXPECT_EQ(body("getposition"), "0.500025");
    EXPECT_EQ(body("setposition", {{"pos", "abc"}}), "1");
    EXPECT_EQ(harness.elapsedMs(), 0);
    EXPECT_EQ(body("setposition", {{"pos", "1e400"}}), "1");
    EXPECT_EQ(harness.position(), 1) << "past the end: the next entry";

    // An entry of unknown length, and one the player says is 0 s long.
    fill(0);
    harness.append("http://127.0.0.1:9/live");
    harness.onPlayer([](player::Player& p) { p.model().play(); });
    harness.clock.advance(5000);
    EXPECT_EQ(body("getposition"), "0");
    harness.setIntercept([](bool toEditor, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (!toEditor && message == WM_WA_IPC && lParam == IPC_GETOUTPUTTIME && wParam == 1)
            return 0;
        return std::nullopt;
    });
    EXPECT_EQ(body("getposition"), "0");

    auto check = [](long ms, long seconds, const std::string& text) {
        EXPECT_EQ(webapp::positionFraction(ms, seconds), text) << ms << " / " << seconds;
    };
    check(0, 100, "0");
    check(1000, 3, "0.333333");
    check(123456, 1000, "0.123456");
    check(90000, 60, "1.5");
    check(5, 0, "0");
    check(5, -1, "0");
    check(1, 1000000, "1e-09");
}

TEST_F(Commands, ConcurrentAddsAndReadsKeepEveryEntry)
{
    constexpr int clients = 4, perClient = 6;
    std::vector<std::string> songs;
    for (int i = 0; i < clients * perClient; ++i)
        songs.push_back(song("s" + std::to_string(100 + i) + ".wav", 1));
    fill(0);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < clients; ++t) {
        threads.emplace_back([&, t] {
            testing_support::RawClient own(server->listeningPort());
            for (int i = 0; i < perClient; ++i) {
                const std::string& file = songs[static_cast<std::size_t>(t * perClient + i)];
                const char* route = i % 3 == 0 ? "enqueuefile" : i % 3 == 1 ? "insertfile" : "enqueuefilenext";
                auto ask = [&](const std::string& path) {
                    own.send("GET " + path + " HTTP/1.1\r\n" + cookie + "\r\n");
                    return own.readAnswer();
                };
                // One request at a time: a connection reads no request ahead.
                if (ask(target(route, {{"filename", file}, {"index", "0"}})).body != "1" ||
                    ask(target("playlist.xml", {{"id", "c" + std::to_string(t)}})).status != 200 ||
                    ask("/moveplaylistitem?from=0&to=1").body != "1")
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    std::vector<std::string> files = harness.files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, songs);
}

TEST(RouteText, CdataKeepsEveryTextInsideItsSection)
{
    auto check = [](std::string_view text, std::string_view expected) {
        EXPECT_EQ(webapp::cdataText(text), expected) << text;
    };
    check("", "");
    check("plain <b>&amp;</b>", "plain <b>&amp;</b>");
    check("]]>", "]]]]><![CDATA[>");
    check("a]]>b]]>c", "a]]]]><![CDATA[>b]]]]><![CDATA[>c");
    check("]]]>>", "]]]]]><![CDATA[>>");
    check("]] >]>", "]] >]>");
}

TEST(RouteText, CdataIsValidUtf8AndXmlWhateverTheBytes)
{
    const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
    const std::pair<std::string, std::string> cases[] = {
        {"J\xC3\xB3ga \xE6\x9D\xB1 \xF0\x9F\x8E\xB5", "J\xC3\xB3ga \xE6\x9D\xB1 \xF0\x9F\x8E\xB5"},
        {"tab\tLF\nCR\r", "tab\tLF\nCR\r"},
        {"bad\x01", "bad" + bad},
        {std::string("a\0b\x1F\x7F", 5), "a" + bad + "b" + bad + "\x7F"},
        {"\xFF\x80", bad + bad},                           // stray bytes, one each
        {"J\xF3ga", "J" + bad + "ga"},                       // Latin-1 text
        {"\xC3", bad},                                       // cut short at the end
        {"\xE6\x9Dx", bad + "x"},                            // cut short: one for the start
        {"\xC0\xAF", bad + bad},                            // overlong "/"
        {"\xED\xA0\x80", bad + bad + bad},                  // a surrogate
        {"\xF4\x90\x80\x80", bad + bad + bad + bad},        // past U+10FFFF
        {"\xEF\xBF\xBE\xEF\xBF\xBF", bad + bad},         // U+FFFE, U+FFFF
        {"\x01]]>\xFF", bad + "]]]]><![CDATA[>" + bad},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(webapp::cdataText(text), expected) << testing::PrintToString(text);
}

TEST_F(Commands, ASilentPeerHoldsUpNeitherOtherClientsNorTheQuit)
{
    using Clock = std::chrono::steady_clock;
    librarytest::CannedPeer silent("", librarytest::CannedPeer::Mode::silent);
    // A saved place: only peers heard or saved are asked at all.
    application.library->notePlace("127.0.0.1:" + std::to_string(silent.port));
    fill(2);
    // A fetch from the peer starts after this, so one waited for to its end
    // ends no earlier than `limit` from here.
    const auto sent = Clock::now();
    const auto limit = library::FetchLimits{}.exchange;
    std::vector<std::thread> waiting;
    for (const char* route : {"enqueuefile", "insertfile", "enqueuefilenext"}) {
        waiting.emplace_back([&, route] {
            testing_support::RawClient own(server->listeningPort());
            own.send("GET " + target(route, {{"filename", silent.url("/stream?path=%2fm")}}) + " HTTP/1.1\r\n" +
                     cookie + "\r\n");
            own.readAnswer(std::chrono::seconds(30));
        });
    }
    // All three wait on the peer, which answers none.
    ASSERT_TRUE(testing_support::waitUntil([&] { return silent.acceptedCount() == 3; }, std::chrono::seconds(30)));
    EXPECT_EQ(body("deleteplaylistitem", {{"index", "0"}}), "1");
    EXPECT_NE(body("playlist.xml").find("/e1"), std::string::npos);
    EXPECT_LT(Clock::now() - sent, limit) << "other clients waited for the peer";

    server->stop();
    ASSERT_TRUE(server->threadHandle()->waitFor(std::chrono::seconds(30)));
    EXPECT_LT(Clock::now() - sent, limit) << "the quit waited for the peer";
    for (std::thread& thread : waiting)
        thread.join();
    EXPECT_EQ(harness.files(), std::vector<std::string>{"/e1"});
}

TEST_F(Commands, AFullPlaylistRefusesMore)
{
    const std::string one = song("one.wav", 1);
    const std::string two = song("two.wav", 1);
    harness.onPlayer([](player::Player& p) {
        p.model().clear();
        for (int i = 0; i < webapp::PlayerFacade::maxEntries - 1; ++i)
            p.model().append({"/e", "", 1000});
    });
    EXPECT_EQ(body("enqueuefile", {{"filename", one}}), "1");
    EXPECT_EQ(body("insertfile", {{"filename", two}, {"index", "0"}}), "0");
    EXPECT_EQ(body("enqueuefile", {{"filename", music}}), "0");
    const std::vector<std::string> files = harness.files();
    EXPECT_EQ(files.size(), std::size_t(webapp::PlayerFacade::maxEntries));
    EXPECT_EQ(files.back(), one);
}
