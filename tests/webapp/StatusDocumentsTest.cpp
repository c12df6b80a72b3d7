// "playlist.xml" and "consolestatus.xml" over loopback, byte for byte, with
// the real player behind them.
#include "ServedPlayer.h"
#include "platform/PlayerMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <thread>

using namespace platform;
using webapptest::Sent;

namespace {

const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";

std::string startLine(int playing, bool dirty)
{
    return "<playlist playing=\"" + std::to_string(playing) + "\" dirty=\"" + (dirty ? "1" : "0") + "\">\n";
}

std::string track(int index, const std::string& title, const std::string& file)
{
    return "<track>\n<index>" + std::to_string(index) + "</index>\n<title><![CDATA[" + title +
           "]]></title>\n<filename><![CDATA[" + file + "]]></filename>\n</track>\n";
}

/// A text as it stands inside a CDATA section.
std::string cdataOf(const std::string& text)
{
    std::string out;
    for (std::size_t from = 0;;) {
        std::size_t end = text.find("]]>", from);
        if (end == std::string::npos)
            return out + text.substr(from);
        out += text.substr(from, end - from) + "]]]]><![CDATA[>";
        from = end + 3;
    }
}

/// The names of the elements as they open, in document order.
std::vector<std::string> elementOrder(const std::string& document)
{
    std::vector<std::string> names;
    for (std::size_t at = 0; (at = document.find('<', at)) != std::string::npos; ++at) {
        const char next = document[at + 1];
        if (next == '/' || next == '?' || next == '!')
            continue;
        std::size_t end = document.find_first_of("> ", at);
        names.push_back(document.substr(at + 1, end - at - 1));
    }
    return names;
}

class StatusDocuments : public webapptest::ServedPlayer {
protected:
    std::string playlist(const std::string& id)
    {
        return body("playlist.xml", id.empty() ? Parameters{} : Parameters{{"id", id}});
    }
    bool playerDirty()
    {
        bool dirty = false;
        harness.onPlayer([&](player::Player& p) { dirty = p.model().playlist().isDirty(); });
        return dirty;
    }
};

} // namespace

TEST_F(StatusDocuments, PlaylistGoesToEachClientOnceAfterEveryChange)
{
    const std::string odd = song("x]]>y.wav");
    const std::string bee = song("b.wav", 40, "Artist", "Bee");
    fill(0);
    ASSERT_EQ(body("enqueuefile", {{"filename", odd}, {"title", "A ]]> title"}}), "1");
    ASSERT_EQ(body("enqueuefile", {{"filename", bee}}), "1");
    const std::string tracks = track(0, "A ]]]]><![CDATA[> title", cdataOf(odd)) + track(1, "Artist - Bee", bee);

    Answer first = get("playlist.xml", {{"id", "A"}});
    EXPECT_EQ(first.header("Content-Type"), "text/xml; charset=UTF-8");
    EXPECT_EQ(first.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(first.body, declaration + startLine(0, true) + tracks + "</playlist>\n");
    EXPECT_FALSE(playerDirty()) << "the document marks the player's playlist clean";

    const std::string unchanged = declaration + startLine(0, false) + "</playlist>\n";
    EXPECT_EQ(playlist("A"), unchanged);
    EXPECT_EQ(playlist("B"), declaration + startLine(0, true) + tracks + "</playlist>\n") << "a new client";
    EXPECT_EQ(playlist("B"), unchanged);

    // A new position is no change of the list.
    EXPECT_EQ(body("setplaylistpos", {{"index", "1"}}), "1");
    EXPECT_EQ(playlist("A"), declaration + startLine(1, false) + "</playlist>\n");

    // The first client to ask after a change consumes the player's flag; the
    // other learns of it all the same.
    EXPECT_EQ(body("deleteplaylistitem", {{"index", "0"}}), "1");
    const std::string changed = declaration + startLine(0, true) + track(0, "Artist - Bee", bee) + "</playlist>\n";
    EXPECT_EQ(playlist("A"), changed);
    EXPECT_EQ(playlist("B"), changed);
    EXPECT_EQ(playlist("B"), declaration + startLine(0, false) + "</playlist>\n");
    EXPECT_EQ(playlist("A"), declaration + startLine(0, false) + "</playlist>\n");

    // Without an id the list comes every time.
    EXPECT_EQ(playlist(""), changed);
    EXPECT_EQ(playlist(""), declaration + startLine(0, false) + track(0, "Artist - Bee", bee) + "</playlist>\n");
    EXPECT_EQ(application.playlistClients.ids(), (std::vector<std::string>{"", "A", "B"}));

    // An empty list: the two lines alone, whatever the flag.
    EXPECT_EQ(body("clearplaylist"), "1");
    EXPECT_EQ(playlist("A"), declaration + startLine(0, true) + "</playlist>\n");
    EXPECT_EQ(playlist(""), declaration + startLine(0, true) + "</playlist>\n");
    EXPECT_EQ(playlist("A"), declaration + startLine(0, false) + "</playlist>\n");
    EXPECT_EQ(application.playlistClients.ids(), (std::vector<std::string>{"", "A"}));
}

TEST_F(StatusDocuments, PlaylistReadsTwoTextsPerEntryAndWritesNullsEmpty)
{
    fill(3);
    harness.setIntercept([](bool toEditor, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        // The player has no text for the second entry.
        if (!toEditor && message == WM_WA_IPC && wParam == 1 &&
            (lParam == IPC_GETPLAYLISTTITLE || lParam == IPC_GETPLAYLISTFILE))
            return 0;
        return std::nullopt;
    });
    EXPECT_EQ(playlist("Z"), declaration + startLine(0, true) + track(0, "E0", "/e0") + track(1, "", "") +
                                 track(2, "E2", "/e2") + "</playlist>\n");
    std::vector<std::pair<int, int>> reads;  // request, index
    bool cleaned = false;
    for (const Sent& sent : harness.recorded()) {
        if (!sent.toEditor && (sent.request() == IPC_GETPLAYLISTTITLE || sent.request() == IPC_GETPLAYLISTFILE))
            reads.emplace_back(sent.request(), static_cast<int>(sent.wParam));
        if (sent.toEditor && sent.request() == IPC_PE_SETCLEAN)
            cleaned = true;
    }
    EXPECT_EQ(reads, (std::vector<std::pair<int, int>>{{212, 0}, {211, 0}, {212, 1}, {211, 1}, {212, 2}, {211, 2}}));
    EXPECT_TRUE(cleaned);
}

TEST_F(StatusDocuments, ConsoleWhileStoppedAndWhilePlaying)
{
    fill(0);
    Answer idle = get("consolestatus.xml");
    EXPECT_EQ(idle.header("Content-Type"), "text/xml; charset=UTF-8");
    EXPECT_EQ(idle.body, declaration +
                             "<console><volume>255</volume><shuffle>0</shuffle><repeat>0</repeat>"
                             "<album><![CDATA[]]></album><artist><![CDATA[]]></artist><title><![CDATA[]]></title>"
                             "<filename><![CDATA[]]></filename><length><![CDATA[0:00]]></length>"
                             "<lengthms>0</lengthms><bitrate><![CDATA[0]]></bitrate><position>0</position>"
                             "</console>");
    const std::vector<std::string> order = {"console", "volume",   "shuffle",  "repeat",  "album",
                                            "artist",  "title",    "filename", "length",  "lengthms",
                                            "bitrate", "position"};
    EXPECT_EQ(elementOrder(idle.body), order);

    const std::string tagged = song("t.wav", 40, "The Artist", "The ]]> Title", "The Album");
    ASSERT_EQ(body("enqueuefile", {{"filename", tagged}}), "1");
    body("setvolume", {{"level", "100"}});
    body("setrepeat", {{"setting", "on"}});
    const std::string loaded = "<album><![CDATA[The Album]]></album><artist><![CDATA[The Artist]]></artist>"
                               "<title><![CDATA[The ]]]]><![CDATA[> Title]]></title><filename><![CDATA[" +
                               tagged +
                               "]]></filename><length><![CDATA[0:40]]></length><lengthms>40000</lengthms>"
                               "<bitrate><![CDATA[64]]></bitrate>";
    std::string stopped = body("consolestatus.xml");
    EXPECT_EQ(stopped, declaration + "<console><volume>100</volume><shuffle>0</shuffle><repeat>1</repeat>" + loaded +
                           "<position>0</position></console>");
    EXPECT_EQ(elementOrder(stopped), order);

    body("play");
    harness.clock.advance(10000);
    std::string playing = body("consolestatus.xml");
    EXPECT_EQ(playing, declaration + "<console><volume>100</volume><shuffle>0</shuffle><repeat>1</repeat>" + loaded +
                           "<position>0.25</position></console>");
    EXPECT_EQ(elementOrder(playing), order);
    EXPECT_EQ(playing.find('\n', declaration.size()), std::string::npos) << "one line after the declaration";
}

TEST_F(StatusDocuments, TextsThatAreNoXmlAreMadeValidInBothDocuments)
{
    const std::string plain = song("plain.wav", 30);
    fill(0);
    ASSERT_EQ(body("enqueuefile", {{"filename", plain}, {"title", "J\xC3\xB3ga bad\x01\xFF"}}), "1");
    body("setplaylistpos", {{"index", "0"}});
    const std::string shown = "J\xC3\xB3ga bad\xEF\xBF\xBD\xEF\xBF\xBD";
    EXPECT_EQ(playlist(""), declaration + startLine(0, true) + track(0, shown, plain) + "</playlist>\n");
    EXPECT_NE(body("consolestatus.xml").find("<title><![CDATA[" + shown + "]]></title>"), std::string::npos);
}

TEST_F(StatusDocuments, ConsoleTitleFallsBackToThePlaylistTitle)
{
    const std::string plain = song("plain.wav", 30);
    fill(0);
    ASSERT_EQ(body("enqueuefile", {{"filename", plain}, {"title", "Given <Title>"}}), "1");
    harness.append("http://127.0.0.1:9/live", "Live Radio");
    body("setplaylistpos", {{"index", "0"}});
    std::string document = body("consolestatus.xml");
    EXPECT_NE(document.find("<title><![CDATA[Given <Title>]]></title>"), std::string::npos) << document;
    EXPECT_NE(document.find("<length><![CDATA[0:30]]></length><lengthms>30000</lengthms>"), std::string::npos);

    // A stream: no tags, no length; the position stays 0 while it plays.
    body("setplaylistpos", {{"index", "1"}});
    body("play");
    harness.clock.advance(7000);
    document = body("consolestatus.xml");
    EXPECT_NE(document.find("<title><![CDATA[Live Radio]]></title><filename><![CDATA[http://127.0.0.1:9/live]]>"
                            "</filename><length><![CDATA[0:00]]></length><lengthms>0</lengthms>"),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("<position>0</position>"), std::string::npos) << document;
}

namespace {

/// The file names of the tracks a document lists (plain names only).
std::vector<std::string> filesIn(const std::string& document)
{
    std::vector<std::string> files;
    const std::string open = "<filename><![CDATA[";
    for (std::size_t at = 0; (at = document.find(open, at)) != std::string::npos;) {
        at += open.size();
        files.push_back(document.substr(at, document.find("]]>", at) - at));
    }
    return files;
}

} // namespace

TEST_F(StatusDocuments, AClientKeepingItsListAlwaysEndsWithThePlayersList)
{
    constexpr int size = 40, rounds = 300;
    fill(size);
    testing_support::RawClient other(server->listeningPort());
    auto ask = [&](const std::string& route, const Parameters& parameters) {
        other.send("GET " + target(route, parameters) + " HTTP/1.1\r\n" + cookie + "\r\n");
        return other.readAnswer().body;
    };
    auto inWindow = [&](const std::function<void(player::PlayerModel&)>& change) {
        harness.onPlayer([&](player::Player& p) { change(p.model()); });
    };
    auto index = [](int n) { return std::to_string(n % size); };
    // Changes made while the client reads the list: by another client, and
    // in the player's own window.
    const std::vector<std::pair<const char*, std::function<void(int)>>> changes = {
        {"move", [&](int r) { ask("moveplaylistitem", {{"from", index(r)}, {"to", index(r * 7)}}); }},
        {"delete", [&](int r) {
             ask("deleteplaylistitem", {{"index", index(r)}});
             inWindow([r](player::PlayerModel& m) { m.append({"/d" + std::to_string(r), "", 1000}); });
         }},
        {"clear", [&](int r) {
             ask("clearplaylist", {});
             inWindow([r](player::PlayerModel& m) {
                 for (int i = 0; i < size; ++i)
                     m.append({"/c" + std::to_string(r) + "-" + std::to_string(i), "", 1000});
             });
         }},
        {"position", [&](int r) { ask("setplaylistpos", {{"index", index(r * 3)}}); }},
        {"window swap", [&](int r) { inWindow([r](player::PlayerModel& m) { m.swap(r % size, r * 5 % size); }); }},
        {"window remove", [&](int r) {
             inWindow([r](player::PlayerModel& m) {
                 m.remove(r % size);
                 m.append({"/w" + std::to_string(r), "", 1000});
             });
         }},
    };
    std::vector<std::string> held;
    int playing = -1;
    auto poll = [&] {
        const std::string document = playlist("K");
        playing = std::stoi(document.substr(document.find("playing=\"") + 9));
        if (document.find("dirty=\"1\"") != std::string::npos)
            held = filesIn(document);
    };
    std::map<std::string, int> lost;
    for (int round = 0; round < rounds; ++round) {
        const auto& [name, change] = changes[static_cast<std::size_t>(round) % changes.size()];
        std::thread changer(change, round);
        poll();
        poll();
        changer.join();
        poll();
        if (held != harness.files() || playing != harness.position())
            ++lost[name];
    }
    EXPECT_TRUE(lost.empty()) << "rounds that left the client with a stale list: " << ::testing::PrintToString(lost);
}

TEST_F(StatusDocuments, PlaylistIsReadWithoutHoldingTheApplicationLock)
{
    fill(3);
    std::atomic<int> lockFree{-1};
    harness.setIntercept([&](bool toEditor, UINT message, WPARAM wParam, LPARAM lParam) -> std::optional<LRESULT> {
        if (!toEditor && message == WM_WA_IPC && wParam == 1 && lParam == IPC_GETPLAYLISTTITLE) {
            // Another request could take the lock while the entries are read.
            const bool free = application.lock.try_lock();
            if (free)
                application.lock.unlock();
            lockFree = free ? 1 : 0;
        }
        return std::nullopt;
    });
    EXPECT_EQ(filesIn(playlist("L")), (std::vector<std::string>{"/e0", "/e1", "/e2"}));
    EXPECT_EQ(lockFree, 1);
}
