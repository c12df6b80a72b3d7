// The client side of peer libraries: URL splitting, the M3U item reader, and
// fetchUrl and the "/stream?" expansion against a stand-in peer on loopback.
#include "library/CannedPeer.h"
#include "library/FetchUrl.h"
#include "library/PeerAccess.h"
#include "library/LibraryFixture.h"
#include "library/PeerPlaylist.h"
#include "message/UrlCoding.h"
#include "discovery/DiscoveryAgent.h"
#include "discovery/PeerTable.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

using librarytest::CannedPeer;
using library::FetchLimits;
using library::PeerUrl;
using namespace std::chrono_literals;

namespace {

std::string answerWith(const std::string& body, bool withLength = true)
{
    std::string text = "HTTP/1.1 200 OK\r\nContent-Type: audio/m3u\r\n";
    if (withLength)
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

const std::string peerM3u = "#EXTM3U\r\n#EXTINF:0,b.mp3\r\nhttp://10.0.0.5:8080/download?path=%2fm%2fb.mp3&auth=S\r\n"
                            "#EXTINF:0,a.mp3\r\nhttp://10.0.0.5:8080/download?path=%2fm%2fa.mp3&auth=S\r\n";

} // namespace

TEST(PeerUrl, Splitting)
{
    struct Case {
        std::string url;
        bool ok;
        PeerUrl parts;
    };
    const std::vector<Case> cases = {
        {"http://10.0.0.5:8080/stream?path=x", true, {"10.0.0.5:8080", "10.0.0.5", 8080, "/stream", "path=x"}},
        {"http://peer/stream?a=1?b", true, {"peer", "peer", 80, "/stream", "a=1?b"}},
        {"http://peer", true, {"peer", "peer", 80, "", ""}},
        {"http://peer:1/", true, {"peer:1", "peer", 1, "/", ""}},
        {"http://peer:0/", false, {}},
        {"http://peer:65536/", false, {}},
        {"http://peer:80x/", false, {}},
        {"http://peer:/", false, {}},
        {"http://:80/", false, {}},
        {"https://peer/", false, {}},
        {"/music/a.mp3", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        PeerUrl parts;
        ASSERT_EQ(library::splitPeerUrl(c.url, parts), c.ok);
        if (c.ok) {
            EXPECT_EQ(parts.authority, c.parts.authority);
            EXPECT_EQ(parts.host, c.parts.host);
            EXPECT_EQ(parts.port, c.parts.port);
            EXPECT_EQ(parts.path, c.parts.path);
            EXPECT_EQ(parts.query, c.parts.query);
        }
    }
}

TEST(PeerPlaylist, ItemsAfterEachExtinfLine)
{
    struct Case {
        const char* what;
        std::string m3u;
        std::vector<std::string> items;
    };
    const std::vector<Case> cases = {
        {"three lines", "#EXTM3U\n#EXTINF:0,a\nhttp://h/download?path=a\n", {"http://h/download?path=a"}},
        {"CR LF, last line unterminated", "#EXTINF:0,a\r\nhttp://h/1\r\n#EXTINF:0,b\r\nhttp://h/2",
         {"http://h/1", "http://h/2"}},
        {"an EXTINF with no line after it", "#EXTINF:0,a", {}},
        {"no EXTINF at all", "http://h/1\nhttp://h/2\n", {}},
        {"control bytes inside an item", "#EXTINF:0,a\nhttp://h/1\r\r\n#EXTINF:0,b\nhttp://h/\x01x\n", {}},
        {"local paths and other schemes are dropped",
         "#EXTINF:0,a\n/etc/passwd\n#EXTINF:0,b\nfile:///etc/passwd\n#EXTINF:0,c\n\n#EXTINF:0,d\nhttp://h/ok\n",
         {"http://h/ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> items;
        library::appendPeerItems(c.m3u, items);
        EXPECT_EQ(items, c.items);
    }
}

TEST(FetchUrl, SendsTheTwoHeadersAndReadsTheAnswer)
{
    CannedPeer peer(answerWith(peerM3u));
    http::Response response;
    ASSERT_TRUE(library::fetchUrl(peer.url("/stream?path=%2fm&x=1"), response));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, peerM3u);
    ASSERT_EQ(peer.requests().size(), 1u);
    EXPECT_EQ(peer.requests()[0], "GET /stream?path=%2fm&x=1 HTTP/1.1\r\nConnection: close\r\nHost: 127.0.0.1:" +
                                      std::to_string(peer.port) + "\r\n\r\n");
}

TEST(FetchUrl, FramingAndLimits)
{
    struct Case {
        const char* what;
        std::string answer;
        CannedPeer::Mode mode;
        bool ok;
        std::string body;
    };
    const std::string big(64 * 1024, 'x');
    const std::vector<Case> cases = {
        {"body until the peer closes", answerWith("abc", false), CannedPeer::Mode::answerAndClose, true, "abc"},
        {"framed by its length on a connection left open", answerWith("abc") + "junk",
         CannedPeer::Mode::answerAndStayOpen, true, "abc"},
        {"lower-case content-length", "HTTP/1.1 200 OK\r\ncontent-length: 2\r\n\r\nabc",
         CannedPeer::Mode::answerAndStayOpen, true, "ab"},
        {"longer than allowed", answerWith(big), CannedPeer::Mode::answerAndClose, false, ""},
        {"a body that never ends", "HTTP/1.1 200 OK\r\nContent-Length: 999\r\n\r\nabc",
         CannedPeer::Mode::answerAndStayOpen, false, ""},
        {"closed without a word", "", CannedPeer::Mode::answerAndClose, false, ""},
        {"a peer that never answers", "", CannedPeer::Mode::silent, false, ""},
    };
    FetchLimits limits;
    limits.connect = 2s;
    limits.exchange = 500ms;
    limits.answerBytes = 16 * 1024;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CannedPeer peer(c.answer, c.mode);
        http::Response response;
        EXPECT_EQ(library::fetchUrl(peer.url("/stream?path=x"), response, limits), c.ok);
        if (c.ok) {
            EXPECT_EQ(response.body, c.body);
        }
    }

    // Nobody listening, or not a peer URL: false at once.
    std::uint16_t closedPort;
    {
        CannedPeer gone("");
        closedPort = gone.port;
    }
    http::Response response;
    EXPECT_FALSE(library::fetchUrl("http://127.0.0.1:" + std::to_string(closedPort) + "/stream?x", response));
    EXPECT_FALSE(library::fetchUrl("ftp://127.0.0.1/stream?x", response));
}

using PeerExpansionTest = librarytest::LibraryTest;

TEST_F(PeerExpansionTest, StreamUrlsExpandIntoThePeersOwnItemsOtherPeerUrlsStayAsTheyAre)
{
    CannedPeer peer("");
    const std::string own = peer.url("/download?path=");
    peer.setAnswer(answerWith("#EXTM3U\n#EXTINF:0,b\n" + own + "b\n#EXTINF:0,a\n" + own + "a\n" +
                              "#EXTINF:0,x\nhttp://127.0.0.1:7000/admin\n#EXTINF:0,y\nhttp://127.0.0.1/" + own + "\n"));
    library.notePlace("127.0.0.1:" + std::to_string(peer.port));
    EXPECT_EQ(expand(peer.url("/stream?path=%2fm")), (std::vector<std::string>{own + "a", own + "b"}));
    // A peer's album or artist keeps the peer's track order.
    for (const char* tagPath : {"album%3a%2f%2fZ%2fA", "artist%3a%2f%2fZ"}) {
        EXPECT_EQ(expand(peer.url("/stream?x=1&path=") + tagPath), (std::vector<std::string>{own + "b", own + "a"}));
    }
    const std::string direct = peer.url("/download?path=%2fm%2fa.mp3");
    EXPECT_EQ(expand(direct), std::vector<std::string>{direct});
    EXPECT_EQ(peer.requests().size(), 3u) << "a direct URL is never fetched";

    // A listing of any length adds at most the cap.
    CannedPeer big("");
    std::string longer = "#EXTM3U\n";
    for (std::size_t i = 0; i < library::MediaLibrary::maxExpansion + 5; ++i)
        longer += "#EXTINF:0,x\n" + big.url("/download?path=") + std::to_string(i) + "\n";
    big.setAnswer(answerWith(longer));
    library.notePlace("127.0.0.1:" + std::to_string(big.port));
    EXPECT_EQ(expand(big.url("/stream?path=%2fm")).size(), library::MediaLibrary::maxExpansion);
}

TEST_F(PeerExpansionTest, OnlyPlacesHeardOrSavedAreFetchedNeverThisInstance)
{
    CannedPeer service(answerWith(peerM3u));
    const std::string authority = "127.0.0.1:" + std::to_string(service.port);
    const std::string url = service.url("/admin/delete-all?x=/stream?");
    EXPECT_TRUE(expand(url).empty());
    settings.update([&](auto& d) { d.listenPort = service.port; });
    library.notePlace(authority);
    EXPECT_TRUE(expand(url).empty()) << "this instance's own port";
    EXPECT_EQ(service.requests().size(), 0u);
}

TEST(PeerAccess, HeardOrSavedNeverThisInstance)
{
    const library::PeerAccess access{{"127.0.0.1:4000", "127.0.0.1:5151", "10.9.8.7"},
                                     {"10.0.0.5:8080", "localhost:5151", "127.0.0.2:5151", "10.0.0.5:5151",
                                      "127.0.0.1:05151", "127.0.0.1:5151/x"},
                                     5151};
    const std::vector<std::pair<std::string, bool>> cases = {
        {"127.0.0.1:4000", true},  {"10.0.0.5:8080", true},   {"10.0.0.5:5151", true},
        {"10.9.8.7", true},        {"127.0.0.1:7000", false}, {"127.0.0.1:5151", false},
        {"localhost:5151", false}, {"127.0.0.2:5151", false}, {"10.0.0.5:8080 ", false},
        {"127.0.0.1:05151", false}, {"127.0.0.1:5151/x", false},
        {"", false},
    };
    for (const auto& [authority, allowed] : cases)
        EXPECT_EQ(library::mayAskPeer(authority, access), allowed) << authority;
}

TEST(PeerAccess, SavedPlaceHostsFromTheFavsCookie)
{
    const std::string favs = http::urlEncode(
        R"([{"name":"den","host":"10.0.0.5:8080","path":"%2fm"},{"name":"\"host\":\"x","host":"a b<","path":""},)"
        R"({"name":"Local Library - x","host":"","path":""},{"name":"k","host":"kitchen.lan:81","path":""}])");
    EXPECT_EQ(library::savedPlaceHosts(favs), (std::vector<std::string>{"10.0.0.5:8080", "kitchen.lan:81"}));
    EXPECT_TRUE(library::savedPlaceHosts("").empty());
}

TEST_F(PeerExpansionTest, ASilentPeerReleasesTheRequestWithinTheBound)
{
    CannedPeer silent("", CannedPeer::Mode::silent);
    library.notePlace("127.0.0.1:" + std::to_string(silent.port));
    std::atomic<bool> done{false};
    std::vector<std::string> items{"x"};
    std::thread request([&] {
        items = expand(silent.url("/stream?path=%2fm"));
        done = true;
    });
    const FetchLimits bounds;
    const auto deadline = std::chrono::steady_clock::now() + bounds.exchange + 10s;
    while (!done && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(done.load()) << "still waiting for the silent peer";
    request.join();
    EXPECT_TRUE(items.empty());
}

TEST(MediaLibraryPeers, TwoLibrariesAnnounceTheirPortsToEachOther)
{
    librarytest::TempTree tree;
    host::Settings firstSettings{tree.path("first.ini")};
    host::Settings secondSettings{tree.path("second.ini")};
    firstSettings.update([](auto& d) { d.listenPort = 47001; });
    secondSettings.update([](auto& d) { d.listenPort = 47002; });
    library::MediaLibrary first{firstSettings};
    auto second = std::make_unique<library::MediaLibrary>(secondSettings);
    auto portsHeardBy = [](const library::MediaLibrary& library) {
        std::vector<std::uint16_t> ports;
        for (const discovery::PeerEntry& peer : library.peers()) {
            EXPECT_EQ(peer.key.size(), 36u);
            EXPECT_NE(peer.sender.address, 0u);
            ports.push_back(peer.port);
        }
        return ports;
    };
    auto hears = [&](const library::MediaLibrary& library, std::uint16_t port) {
        auto ports = portsHeardBy(library);
        return std::find(ports.begin(), ports.end(), port) != ports.end();
    };
    // The first announcement may come before the other listens; the next
    // comes a period later (on a loaded machine later still).
    testing_support::waitUntil([&] { return hears(first, 47002) && hears(*second, 47001); }, 30s);
    EXPECT_TRUE(hears(first, 47002));
    EXPECT_TRUE(hears(*second, 47001));
    EXPECT_FALSE(hears(first, 47001)) << "never itself";

    // Its leaving announcement takes it off at once, before an expiry could:
    // that needs a lifetime to pass since the last announcement heard, at
    // most a period before now.
    const auto now = std::chrono::steady_clock::now();
    second.reset();
    EXPECT_TRUE(testing_support::waitUntil([&] { return !hears(first, 47002); }, 30s));
    EXPECT_LT(std::chrono::steady_clock::now() - now,
              std::chrono::milliseconds(discovery::PeerTable::lifetime - discovery::DiscoveryAgent::announcePeriod))
        << "gone only by expiry";
}
