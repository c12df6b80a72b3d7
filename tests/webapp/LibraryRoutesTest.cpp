// "library.js", "favorites.js" and "events.js" over loopback: the listing
// text byte for byte, its sort orders, refused paths, the callback name,
// search hits, the JSON_auth check and a peer heard from a forged datagram.
#include "ServedLibrary.h"
#include "library/CannedPeer.h"
#include "discovery/DiscoveryAgent.h"
#include "discovery/PDPDiscovery.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "platform/Datagram.h"
#include "webapp/ListingText.h"
#include "webapp/ScriptText.h"

#include <arpa/inet.h>

#include <regex>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using librarytest::CannedPeer;
using webapptest::ServedLibrary;

std::string E(const std::string& text)
{
    return http::urlEncode(text);
}

std::vector<std::string> namesIn(const std::string& body)
{
    static const std::regex name(R"re("name" : "([^"]*)","path")re");
    std::vector<std::string> names;
    for (std::sregex_iterator at(body.begin(), body.end(), name), end; at != end; ++at)
        names.push_back((*at)[1]);
    return names;
}

class LibraryScript : public ServedLibrary {
protected:
    /// The peer table's entry for a forged announcement of `name` and
    /// `port`, broadcast until it is heard; none after 30 seconds (the
    /// agent's socket is opened by its thread, late on a loaded machine).
    std::optional<discovery::PeerEntry> heardPeer(const std::string& name, std::uint16_t port)
    {
        discovery::PDPDiscovery packet;
        packet.instanceId.fill(static_cast<std::uint8_t>(port));
        packet.name = name;
        packet.state = 1;
        packet.port = port;
        std::vector<std::uint8_t> bytes(discovery::PDPDiscovery::wireSize);
        std::size_t length = bytes.size();
        packet.serialize(bytes.data(), length);
        platform::UniqueFd sender = platform::openSendingSocket();
        const auto deadline = std::chrono::steady_clock::now() + 30s;
        while (std::chrono::steady_clock::now() < deadline) {
            platform::sendDatagram(sender.get(), {reinterpret_cast<const char*>(bytes.data()), length},
                                   {platform::broadcastAddress(), discovery::DiscoveryAgent::discoveryPort});
            std::this_thread::sleep_for(20ms);
            for (const discovery::PeerEntry& peer : application.library->peers())
                if (peer.name == name && peer.port == port)
                    return peer;
        }
        return std::nullopt;
    }

    /// "address:port" of a forged peer heard on `port`, or "" when none was.
    std::string announce(const std::string& name, std::uint16_t port)
    {
        std::optional<discovery::PeerEntry> peer = heardPeer(name, port);
        return peer ? platform::dottedAddress(peer->sender.address) + ":" + std::to_string(port) : std::string();
    }

    std::string rootBody(const std::string& callback)
    {
        return callback + "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n"
               "\n{\"name\" : \"" + E(more) + "\",\"path\" : \"" + E(more) + "\",\"type\" : \"%24DIR%24\" }\n"
               ",\n{\"name\" : \"" + E(music) + "\",\"path\" : \"" + E(music) + "\",\"type\" : \"%24DIR%24\" }\n"
               "]});";
    }
};

} // namespace

TEST_F(LibraryScript, RootAndDirectoryListingsByteForByte)
{
    Answer root = get("library.js", {{"callback", "cb"}});
    EXPECT_EQ(root.status, 200);
    EXPECT_EQ(root.header("Content-Type"), "text/javascript; charset=UTF-8");
    EXPECT_EQ(root.body, rootBody("cb"));
    EXPECT_EQ(get("library.js", {{"path", "/"}, {"callback", "cb"}}).body, rootBody("cb"));

    file(music + "/b song.mp3");
    file(music + "/\xc3\xa9t\xc3\xa9.flac");
    file(music + "/Song.MP3");
    file(music + "/list.m3u");
    file(music + "/readme.txt");
    file(music + "/Sub/inner.mp3");
    const std::string listing = get("library.js", {{"path", music + "/"}}).body;
    auto line = [&](const std::string& name, const std::string& type) {
        return "\n{\"name\" : \"" + name + "\",\"path\" : \"" + E(music) + "%2f" + name + "\",\"type\" : \"" +
               type + "\" }\n";
    };
    EXPECT_EQ(listing, "({\"path\" : \"" + E(music + "/") + "\",\n\"auth\" : \"\",\n\"files\" : [\n"
                       "{\"name\" : \"..\",\"type\" : \"$UP$\" }," +
                           line("Song%2eMP3", "mp3") + "," + line("Sub", "%24DIR%24") + "," +
                           line("b%20song%2emp3", "mp3") + "," + line("list%2em3u", "m3u") + "," +
                           line("%c3%a9t%c3%a9%2eflac", "flac") + "]});");

    // An empty or unreadable directory still has its way up.
    fs::create_directories(music + "/Empty");
    EXPECT_EQ(get("library.js", {{"path", music + "/Empty"}}).body,
              "({\"path\" : \"" + E(music + "/Empty") +
                  "\",\n\"auth\" : \"\",\n\"files\" : [\n{\"name\" : \"..\",\"type\" : \"$UP$\" }]});");
}

TEST_F(LibraryScript, SortOrders)
{
    const auto base = fs::file_time_type::clock::now() - 1h;
    struct Song {
        std::string name;
        std::size_t size;
        int minutes;
    };
    for (const Song& song : {Song{"a.mp3", 2, 20}, Song{"b.mp3", 3, 0}, Song{"c.mp3", 1, 10}}) {
        file(music + "/" + song.name, std::string(song.size, 's'));
        fs::last_write_time(music + "/" + song.name, base + std::chrono::minutes(song.minutes));
    }
    struct Case {
        std::string sortby, sortdir;
        std::vector<std::string> order;
    };
    const std::vector<Case> cases = {
        {"0", "0", {"a%2emp3", "b%2emp3", "c%2emp3"}}, {"0", "1", {"c%2emp3", "b%2emp3", "a%2emp3"}},
        {"1", "0", {"b%2emp3", "c%2emp3", "a%2emp3"}}, {"1", "1", {"a%2emp3", "c%2emp3", "b%2emp3"}},
        {"2", "0", {"c%2emp3", "a%2emp3", "b%2emp3"}}, {"2", "1", {"b%2emp3", "a%2emp3", "c%2emp3"}},
        {"", "", {"a%2emp3", "b%2emp3", "c%2emp3"}},
    };
    for (const Case& c : cases) {
        std::string body = get("library.js", {{"path", music}, {"sortby", c.sortby}, {"sortdir", c.sortdir}}).body;
        EXPECT_EQ(namesIn(body), c.order) << c.sortby << "/" << c.sortdir;
    }
}

TEST_F(LibraryScript, RefusedPathsGiveTheRootListing)
{
    file(music + "/a.mp3");
    file(dir.path("musicx/a.mp3"));
    for (const std::string& path : {music + "/../more", std::string("/etc"), dir.path("musicx"), dir.path("")})
        EXPECT_EQ(get("library.js", {{"path", path}, {"callback", "f"}}).body, rootBody("f")) << path;
}

TEST_F(LibraryScript, OnlyAScriptNameIsUsedAsCallback)
{
    const std::string longest = "a" + std::string(127, 'b');
    struct Case {
        std::string callback;
        bool used;
    };
    const std::vector<Case> cases = {
        {"cb", true},           {"jQuery_1.$x.y2", true},     {longest, true},
        {longest + "c", false}, {"alert(1);x", false},         {"1a", false},
        {"a..b", false},        {".a", false},                 {"a.", false},
        {"a.1b", false},        {"</script><script>x", false}, {"a b", false},
        {"\xc3\xa9", false},
    };
    for (const Case& c : cases) {
        std::string body = get("library.js", {{"callback", c.callback}}).body;
        EXPECT_EQ(body, rootBody(c.used ? c.callback : "")) << c.callback;
    }
}

TEST_F(LibraryScript, SearchListingsListTheIndexHits)
{
    file(music + "/Blue Monday/Blue Monday.mp3");
    file(music + "/Other/Red.mp3");
    ASSERT_TRUE(application.library->reindex());
    application.library->indexer().threadHandle()->wait();

    EXPECT_EQ(namesIn(get("library.js", {{"path", "search://blue"}}).body),
              (std::vector<std::string>{"Blue%20Monday", "Blue%20Monday%2emp3"}));
    std::string folders = get("library.js", {{"path", "searchf://blue"}}).body;
    EXPECT_EQ(namesIn(folders), std::vector<std::string>{"Blue%20Monday"});
    EXPECT_NE(folders.find("\"path\" : \"searchf%3a%2f%2fblue\",\n"), std::string::npos);
    EXPECT_NE(folders.find("{\"name\" : \"..\",\"type\" : \"$UP$\" }"), std::string::npos);
}

TEST_F(LibraryScript, FavoritesAndEventsAskForTheSessionCookie)
{
    const std::string local = R"("/": {"name": "Local Library","host": ""}});)";
    struct Case {
        std::string cookieHeader;
        std::optional<std::string> jsonAuth;
        bool passes;
    };
    const std::vector<Case> cases = {
        {"Cookie: Tunelet=s1\r\n", "s1", true},  {"Cookie: Tunelet=s1\r\n", "s2", false},
        {"Cookie: Tunelet=s1\r\n", {}, false},   {"Cookie: Other=s1\r\n", "s1", false},
        {"Cookie: Other=s1\r\n", {}, false},     {"", {}, false},  // as another site's page asks
        {"Cookie: Tunelet=\r\n", "", false},
        {"Cookie: Tunelet=s1\r\n", "S1", false}, {"Cookie: a=1; Tunelet=s1\r\n", "s1", true},
    };
    for (const Case& c : cases) {
        Parameters parameters = {{"callback", "got"}};
        if (c.jsonAuth)
            parameters["JSON_auth"] = *c.jsonAuth;
        Answer favorites = get("favorites.js", parameters, "Host: 127.0.0.1\r\n" + c.cookieHeader);
        Answer events = get("events.js", parameters, "Host: 127.0.0.1\r\n" + c.cookieHeader);
        EXPECT_EQ(favorites.status, 200);
        EXPECT_EQ(events.status, 200);
        // Agents of other programs in this network may come first.
        const std::string& listed = favorites.body;
        EXPECT_EQ(listed.starts_with("got({") && listed.ends_with(local), c.passes) << listed;
        EXPECT_EQ(listed.empty(), !c.passes) << c.cookieHeader << c.jsonAuth.value_or("-");
        EXPECT_EQ(events.body, c.passes ? "got({});" : "") << c.cookieHeader << c.jsonAuth.value_or("-");
    }
}

TEST_F(LibraryScript, APeerIsListedByItsAddressWithItsNameEscaped)
{
    std::optional<discovery::PeerEntry> peer = heardPeer("\"</script>\\\x01<", 4242);
    ASSERT_TRUE(peer) << "the forged announcement was not heard";
    const std::string host = platform::dottedAddress(peer->sender.address) + ":4242";
    // Other programs' agents in this network may be listed too.
    const std::string body = get("favorites.js", {{"JSON_auth", session}}).body;
    EXPECT_TRUE(body.starts_with("({\"")) << body;
    EXPECT_NE(body.find("\"" + host + "/\": {\"name\": \"\\\"\\u003c/script>\\\\\\u0001\\u003c:4242\",\"host\": \"" +
                        host + "\"},"),
              std::string::npos)
        << body;
    EXPECT_TRUE(body.ends_with(",\"/\": {\"name\": \"Local Library\",\"host\": \"\"}});")) << body;
}

TEST_F(LibraryScript, APeersListingIsFetchedFromPlacesHeardOrSavedAndWrittenAnew)
{
    const std::string listing = "{\"path\" : \"%2fm\",\n\"auth\" : \"{p-1}\",\n\"files\" : [\n"
                                "{\"name\" : \"..\",\"type\" : \"$UP$\" },\n{\"name\" : \"%3cb%3e%22\",\"path\" : "
                                "\"%2fm%2f%3cb%3e%22\",\"type\" : \"%24DIR%24\" }\n]}";
    auto canned = [](const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    auto favs = [](std::uint16_t port) {
        return "Cookie: Tunelet=s; favs=" +
               http::urlEncode(R"([{"name":"p","host":"127.0.0.1:)" + std::to_string(port) + R"(","path":""}])") +
               "\r\n";
    };
    struct Case {
        const char* what;
        std::string answer;
        bool saved, heard, rightAuth;
        bool listed;
    };
    const std::vector<Case> cases = {
        {"saved", canned("(" + listing + ");"), true, false, true, true},
        {"heard", canned("(" + listing + ");"), false, true, true, true},
        {"neither heard nor saved", canned("(" + listing + ");"), false, false, true, false},
        {"another JSON_auth", canned("(" + listing + ");"), true, false, false, false},
        {"script after the listing", canned("(" + listing + ");alert(document.cookie)"), true, false, true, false},
        {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", true, false, true, false},
    };
    std::vector<std::unique_ptr<CannedPeer>> peers;  // kept, so no port comes back for a later case
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CannedPeer& peer =
            *peers.emplace_back(std::make_unique<CannedPeer>(c.answer, CannedPeer::Mode::answerAndClose, 0));
        // A peer is heard at the address its announcement came from.
        const std::string host = c.heard ? announce("canned", peer.port) : "127.0.0.1:" + std::to_string(peer.port);
        ASSERT_FALSE(host.empty());
        const Answer answer = get("peerlibrary.js",
                                  {{"host", host}, {"path", "/m"}, {"sortby", "2"}, {"sortdir", "1"},
                                   {"callback", "cb"}, {"JSON_auth", c.rightAuth ? "s" : "t"}},
                                  "Host: 127.0.0.1\r\n" + (c.saved ? favs(peer.port) : "Cookie: Tunelet=s\r\n"));
        EXPECT_EQ(answer.status, 200);
        EXPECT_EQ(answer.body, c.listed ? "cb(" + listing + ");" : "");
        const bool asked = c.rightAuth && (c.saved || c.heard);
        ASSERT_EQ(peer.requests().size(), asked ? 1u : 0u);
        if (asked) {
            EXPECT_EQ(peer.requests()[0], "GET /library.js?path=%2fm&sortby=2&sortdir=1 HTTP/1.1\r\n"
                                          "Connection: close\r\nHost: " + host + "\r\n\r\n");
        }
        // A saved place listed is one whose streams may be fetched later.
        EXPECT_EQ(application.library->mayFetchFrom("http://" + host + "/stream?path=x"),
                  c.heard || (c.saved && c.listed));
    }
    // Never this instance itself, heard or saved.
    const std::string self = "127.0.0.1:" + std::to_string(server->listeningPort());
    settings.update([&](auto& d) { d.listenPort = server->listeningPort(); });
    EXPECT_EQ(get("peerlibrary.js", {{"host", self}, {"JSON_auth", "s"}}, "Host: 127.0.0.1\r\n" + favs(server->listeningPort())).body, "");
}

TEST_F(LibraryScript, APeersPageBrowsesTheLibraryAndReachesNothingElse)
{
    std::optional<discovery::PeerEntry> peer = heardPeer("den", 4243);
    ASSERT_TRUE(peer) << "the forged announcement was not heard";
    const std::string address = platform::dottedAddress(peer->sender.address);
    const std::string song = file(music + "/a.mp3", "bytes");
    struct Case {
        std::string route;
        Parameters parameters;
        std::string page;  // the "Referer" or "Origin" line
        int status;
    };
    const std::string peerPage = "Referer: http://" + address + ":4243/";
    const Case cases[] = {
        {"library.js", {{"callback", "cb"}}, peerPage, 200},
        {"library.js", {{"path", music}}, "Origin: http://" + address + ":4243", 200},
        {"download", {{"path", song}}, peerPage, 200},
        {"find.js", {{"q", "song"}}, peerPage, 200},
        {"files.js", {{"path", music}}, peerPage, 200},
        {"artists.js", {}, peerPage, 200},
        {"albums.js", {}, peerPage, 200},
        {"album.js", {}, peerPage, 200},
        {"genres.js", {}, peerPage, 200},
        {"years.js", {}, peerPage, 200},
        {"artists.js", {}, "Referer: http://" + address + ":4244/", 403},
        {"library.js", {}, "Referer: http://" + address + ":4244/", 403},
        {"find.js", {{"q", "song"}}, "Referer: http://" + address + ":4244/", 403},
        {"library.js", {}, "Referer: http://" + address + "/", 403},
        // A loopback page is a peer's only for a browser at the peer's address.
        {"library.js", {}, "Referer: http://127.0.0.1:4243/", address == "127.0.0.1" ? 200 : 403},
        {"favorites.js", {}, peerPage, 403},
        {"events.js", {}, peerPage, 403},
        {"stream", {{"path", music}}, peerPage, 403},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.route + " from " + c.page);
        EXPECT_EQ(get(c.route, c.parameters, "Host: 127.0.0.1\r\nSec-Fetch-Site: cross-site\r\n" + c.page + "\r\n").status,
                  c.status);
    }
}

TEST(FavoritesText, PeersInOrderThenThisInstance)
{
    EXPECT_EQ(webapp::favoritesObject({}), R"({"/": {"name": "Local Library","host": ""}})");
    std::vector<discovery::PeerEntry> peers(2);
    peers[0].sender.address = htonl(0x0a000002);
    peers[0].name = "den";
    peers[0].port = 8080;
    peers[1].sender.address = htonl(0xc0a80105);
    peers[1].name = "k\\tchen";
    peers[1].port = 81;
    EXPECT_EQ(webapp::favoritesObject(peers),
              R"({"10.0.0.2:8080/": {"name": "den:8080","host": "10.0.0.2:8080"},)"
              R"("192.168.1.5:81/": {"name": "k\\tchen:81","host": "192.168.1.5:81"},)"
              R"("/": {"name": "Local Library","host": ""}})");
}

TEST(ScriptText, StringContentEndsNothingEarly)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain \xc3\xa9", "plain \xc3\xa9"},
        {"\"\\", "\\\"\\\\"},
        {"</script>", "\\u003c/script>"},
        {std::string("\0\n\x1f\x7f", 4), "\\u0000\\u000a\\u001f\\u007f"},
        {"a\xe2\x80\xa8" "b\xe2\x80\xa9", "a\\u2028b\\u2029"},
        {"\xe2\x80", "\xe2\x80"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(webapp::scriptStringContent(text), expected) << text;
}

TEST_F(LibraryScript, APeersTagListingsAndCoversAreTakenOnlyAsItsRoutesWriteThem)
{
    const std::string albums = "{\"total\" : \"1\",\"start\" : \"0\",\"albums\" : [\n{\"name\" : \"A%3cb\",\"cover\" : "
                               "\"cover%3fpath%3d%252fa\"},\n{\"name\" : \"..\",\"type\" : \"$UP$\"}]}";
    const std::string png = "\x89PNG\r\n\x1a\nrest", notFound = "<html><body><h1>404 Not Found</h1></body></html>";
    auto canned = [](const std::string& body, const std::string& type = "text/javascript") {
        return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n\r\n" + body;
    };
    struct Case {
        const char* what;
        std::string route, answer;
        int status;
        std::string body;
        bool saved = true, rightAuth = true;
    };
    const std::vector<Case> cases = {
        {"as its routes write", "peeralbums.js", canned("(" + albums + ");"), 200, "cb(" + albums + ");"},
        {"an older peer without the route", "peeralbums.js", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", 200, ""},
        {"a script after the call", "peeralbums.js", canned("(" + albums + ");alert(1)"), 200, ""},
        {"a quote inside a value", "peerartists.js", canned("({\"artists\" : [\n{\"name\" : \"a\"+alert(1)+\"\"}]});"), 200, ""},
        {"an upper-case escape", "peergenres.js", canned("({\"genres\" : [\n{\"name\" : \"%3C\"}]});"), 200, ""},
        {"a list inside an entry", "peeryears.js", canned("({\"years\" : [\n{\"name\" : [\n{\"a\" : \"b\"}]}]});"), 200, ""},
        {"neither heard nor saved", "peeralbums.js", canned("(" + albums + ");"), 200, "", false},
        {"another JSON_auth", "peeralbums.js", canned("(" + albums + ");"), 200, "", true, false},
        {"a cover", "peercover", canned(png, "image/png"), 200, png},
        {"a cover whose bytes are of another type", "peercover", canned(png, "image/jpeg"), 404, notFound},
        {"a page for a cover", "peercover", canned("<script>x</script>", "text/html"), 404, notFound},
    };
    std::vector<std::unique_ptr<CannedPeer>> peers;  // kept, so no port comes back for a later case
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CannedPeer& peer = *peers.emplace_back(std::make_unique<CannedPeer>(c.answer));
        const std::string host = "127.0.0.1:" + std::to_string(peer.port);
        const std::string favs = http::urlEncode(R"([{"name":"p","host":")" + host + R"(","path":""}])");
        const Answer answer = get(c.route,
                                  {{"host", host}, {"artist", "Z d"}, {"year", "1999x"}, {"other", "1"},
                                   {"callback", "cb"}, {"JSON_auth", c.rightAuth ? "s" : "t"}},
                                  "Host: 127.0.0.1\r\nCookie: Tunelet=s" + (c.saved ? "; favs=" + favs : "") + "\r\n");
        EXPECT_EQ(answer.status, c.status);
        EXPECT_EQ(answer.body, c.body);
        if (c.status == 200 && !c.body.empty()) {
            EXPECT_EQ(answer.header("Content-Type"),
                      c.route == "peercover" ? "image/png" : "text/javascript; charset=UTF-8");
        }
        const bool asked = c.saved && c.rightAuth;
        ASSERT_EQ(peer.requests().size(), asked ? 1u : 0u);
        // Only the route's own parameters go on, written anew.
        if (asked && c.route == "peeralbums.js") {
            EXPECT_TRUE(peer.requests()[0].starts_with("GET /albums.js?artist=Z%20d&year=1999 HTTP/1.1\r\n"))
                << peer.requests()[0];
        }
    }
}
