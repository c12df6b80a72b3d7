// The tag browsing routes over loopback, against a small tagged library
// indexed for the test: each answer byte for byte, and album and artist
// paths streamed in track order.
#include "ServedLibrary.h"
#include "TaggedLibrary.h"
#include "library/IndexStore.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/Indexer.h"
#include "webapp/TrackEntryText.h"
#include "webapp/TuneletServer.h"

#include <sstream>
#include <thread>

namespace {

using library::albumPath;
using library::artistPath;
using webapp::coverUrl;
using webapptest::TaggedLibrary;

std::string E(const std::string& text)
{
    return http::urlEncode(text);
}

TEST(TrackEntryText, EveryKeyInOrderEveryValueEncoded)
{
    library::TrackRecord track;
    track.entry = {"/m/Dé Jà/01 Ça.MP3", library::FindData::normalAttribute,
                   library::FileTime::fromValue(116444736000000000ULL + 15ULL * 10000000ULL + 9999999ULL), 4096};
    track.tags = {.artist = "A&B", .albumArtist = "V", .album = "Al/1", .title = "T \"q\"", .genre = "Pop",
                  .track = 3, .disc = 2, .year = 1999, .durationMs = 61234, .hasPicture = true};
    EXPECT_EQ(webapp::trackEntryText(track, coverUrl(track.entry.path)),
              R"({"name" : "01%20%c3%87a%2eMP3","path" : "%2fm%2fD%c3%a9%20J%c3%a0%2f01%20%c3%87a%2eMP3",)"
              R"("type" : "mp3","size" : "4096","modified" : "15","duration" : "61234","title" : "T%20%22q%22",)"
              R"("artist" : "A%26B","album" : "Al%2f1","albumartist" : "V","track" : "3","disc" : "2",)"
              R"("year" : "1999","genre" : "Pop","cover" : "cover%3fpath%3d%252fm%252fD%25c3%25a9%2520J%25c3%25a0%252f01%2520%25c3%2587a%252eMP3"})");
    library::TrackRecord folder;
    folder.entry = {"/m/Sub", library::FindData::directoryAttribute, {}, 0};
    EXPECT_EQ(webapp::trackEntryText(folder, "", "/m/Sub"),
              R"({"name" : "%2fm%2fSub","path" : "%2fm%2fSub","type" : "%24DIR%24","size" : "0","modified" : "0",)"
              R"("duration" : "0","title" : "","artist" : "","album" : "","albumartist" : "","track" : "0",)"
              R"("disc" : "0","year" : "0","genre" : "","cover" : ""})");
}

class Browse : public webapptest::ServedLibrary {
protected:
    void SetUp() override
    {
        ServedLibrary::SetUp();
        songs.index(application, settings);
    }

    std::string entry(const std::string& path, const std::string& cover = "")
    {
        return webapp::trackEntryText(TaggedLibrary::record(path), cover);
    }
    static std::int64_t duration(const std::string& path) { return TaggedLibrary::record(path).tags.durationMs; }

    /// The local paths of a stream answer's entries, in order.
    std::vector<std::string> streamed(const std::string& path)
    {
        std::istringstream lines(get("stream", {{"path", path}}).body);
        std::vector<std::string> paths;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t from = line.find("path="), to = line.find("&auth=");
            if (line.starts_with("#") || from == std::string::npos || to == std::string::npos)
                continue;
            std::string item = line.substr(from + 5, to - from - 5);
            http::urlDecode(item);
            paths.push_back(item);
        }
        return paths;
    }

    TaggedLibrary songs{music, dir.path("outside")};
};

TEST_F(Browse, RoutesAnswerByteForByte)
{
    const std::string zed = E(artistPath("Zed")), other = E(artistPath(TaggedLibrary::nonAscii));
    const std::string alpha = albumPath("Zed", "Alpha"), beta = albumPath(TaggedLibrary::nonAscii, "Beta");
    const std::string alphaLine = "{\"name\" : \"Alpha\",\"artist\" : \"Zed\",\"year\" : \"2001\",\"tracks\" : \"3\","
                                  "\"duration\" : \"" + std::to_string(duration(songs.alpha1) + duration(songs.alpha2) + duration(songs.alpha3)) +
                                  "\",\"path\" : \"" + E(alpha) + "\",\"cover\" : \"\"}";
    const std::string gammaLine = "{\"name\" : \"Gamma\",\"artist\" : \"Zed\",\"year\" : \"1990\",\"tracks\" : \"1\","
                                  "\"duration\" : \"" + std::to_string(duration(songs.gamma)) + "\",\"path\" : \"" +
                                  E(albumPath("Zed", "Gamma")) + "\",\"cover\" : \"\"}";
    const std::string betaLine = "{\"name\" : \"Beta\",\"artist\" : \"" + E(TaggedLibrary::nonAscii) +
                                 "\",\"year\" : \"1999\",\"tracks\" : \"1\",\"duration\" : \"" +
                                 std::to_string(duration(songs.beta)) + "\",\"path\" : \"" + E(beta) +
                                 "\",\"cover\" : \"" + E(coverUrl(beta)) + "\"}";
    const std::string up = "\n{\"name\" : \"..\",\"type\" : \"$UP$\"},";
    const struct {
        std::string route;
        Parameters parameters;
        std::string object;
    } cases[] = {
        {"artists.js", {},
         "{\"total\" : \"2\",\"start\" : \"0\",\"artists\" : [\n{\"name\" : \"Zed\",\"albums\" : \"2\",\"tracks\" : \"5\",\"path\" : \"" + zed +
             "\"},\n{\"name\" : \"" + E(TaggedLibrary::nonAscii) + "\",\"albums\" : \"1\",\"tracks\" : \"1\",\"path\" : \"" + other + "\"}]}"},
        {"artists.js", {{"start", "1"}, {"count", "1"}},
         "{\"total\" : \"2\",\"start\" : \"1\",\"artists\" : [\n{\"name\" : \"" + E(TaggedLibrary::nonAscii) +
             "\",\"albums\" : \"1\",\"tracks\" : \"1\",\"path\" : \"" + other + "\"}]}"},
        {"artists.js", {{"genre", "Rock"}},
         "{\"total\" : \"1\",\"start\" : \"0\",\"artists\" : [\n{\"name\" : \"Zed\",\"albums\" : \"1\",\"tracks\" : \"4\",\"path\" : \"" + zed + "\"}]}"},
        {"albums.js", {{"artist", "Zed"}}, "{\"total\" : \"2\",\"start\" : \"0\",\"albums\" : [\n" + alphaLine + ",\n" + gammaLine + "]}"},
        {"albums.js", {{"sortby", "2"}},
         "{\"total\" : \"3\",\"start\" : \"0\",\"albums\" : [\n" + gammaLine + ",\n" + betaLine + ",\n" + alphaLine + "]}"},
        {"albums.js", {{"year", "1999"}}, "{\"total\" : \"1\",\"start\" : \"0\",\"albums\" : [\n" + betaLine + "]}"},
        {"album.js", {{"path", alpha}},
         "{\"path\" : \"" + E(alpha) + "\",\"name\" : \"Alpha\",\"artist\" : \"Zed\",\"year\" : \"2001\",\"tracks\" : \"3\",\"duration\" : \"" +
             std::to_string(duration(songs.alpha1) + duration(songs.alpha2) + duration(songs.alpha3)) + "\",\"cover\" : \"\",\"files\" : [\n" +
             entry(songs.alpha1) + ",\n" + entry(songs.alpha2) + ",\n" + entry(songs.alpha3) + "]}"},
        {"album.js", {{"path", "album://Zed"}},
         "{\"path\" : \"\",\"name\" : \"\",\"artist\" : \"\",\"year\" : \"0\",\"tracks\" : \"0\",\"duration\" : \"0\",\"cover\" : \"\",\"files\" : []}"},
        {"genres.js", {},
         "{\"genres\" : [\n{\"name\" : \"Jazz\",\"albums\" : \"1\",\"tracks\" : \"1\"},\n{\"name\" : \"Rock\",\"albums\" : \"1\",\"tracks\" : \"4\"}]}"},
        {"years.js", {},
         "{\"years\" : [\n{\"name\" : \"1990\",\"albums\" : \"1\",\"tracks\" : \"1\"},\n{\"name\" : \"1999\",\"albums\" : \"1\",\"tracks\" : \"1\"},"
         "\n{\"name\" : \"2001\",\"albums\" : \"1\",\"tracks\" : \"4\"}]}"},
        {"files.js", {{"path", music + "/Beta"}},
         "{\"path\" : \"" + E(music + "/Beta") + "\",\"files\" : [" + up + "\n" + entry(songs.beta, coverUrl(songs.beta)) + "]}"},
        {"files.js", {{"path", music}, {"sortby", "3"}, {"sortdir", "1"}},
         "{\"path\" : \"" + E(music) + "\",\"files\" : [" + up + "\n" + entry(songs.untagged) + ",\n" + entry(music + "/Alpha") + ",\n" +
             entry(music + "/Beta") + ",\n" + entry(music + "/Gamma") + "]}"},
        {"files.js", {{"path", dir.path("outside")}},
         "{\"path\" : \"\",\"files\" : [\n" + webapp::trackEntryText({{more, 0x10, {}, 0}, {}}, "", more) + ",\n" +
             webapp::trackEntryText({{music, 0x10, {}, 0}, {}}, "", music) + "]}"},
    };
    for (const auto& c : cases) {
        Parameters parameters = c.parameters;
        parameters["callback"] = "cb";
        const Answer answer = get(c.route, parameters);
        EXPECT_EQ(answer.header("Content-Type"), "text/javascript; charset=UTF-8") << c.route;
        EXPECT_EQ(answer.body, "cb(" + c.object + ");") << c.route << " " << (c.parameters.empty() ? "" : c.parameters.begin()->second);
    }
}

TEST_F(Browse, ARebuildReplacesTheArtistsAndAlbumsKeptFromTheLastIndex)
{
    EXPECT_EQ(get("artists.js").body.find("Newcomer"), std::string::npos);
    EXPECT_EQ(get("albums.js").body.find("First"), std::string::npos);
    ASSERT_TRUE(librarytest::makeMediaFile(music + "/new.mp3", {{"artist", "Newcomer"}, {"album", "First"}}));
    songs.index(application, settings);
    // Listings side by side: one reads the new index, the others wait or
    // read it too; all answer alike.
    std::string bodies[4];
    {
        std::vector<std::jthread> readers;
        for (std::string& body : bodies)
            readers.emplace_back([&] { body = get("artists.js").body; });
    }
    for (const std::string& body : bodies)
        EXPECT_EQ(body, bodies[0]);
    EXPECT_NE(get("artists.js").body.find("{\"name\" : \"Newcomer\",\"albums\" : \"1\",\"tracks\" : \"1\""),
              std::string::npos);
    EXPECT_NE(get("albums.js").body.find("{\"name\" : \"First\",\"artist\" : \"Newcomer\""), std::string::npos);
}

TEST_F(Browse, FolderFactsComeFromTheIndexWhileTheFileIsAsIndexed)
{
    namespace fs = std::filesystem;
    const std::string retagged = dir.path("retagged.mp3");
    ASSERT_TRUE(librarytest::makeMediaFile(retagged, {{"artist", "Zed"}, {"album", "Alpha"}, {"genre", "Rock"},
                                                      {"date", "2001"}, {"title", "Uno"}, {"track", "1"}, {"disc", "1"}}));
    ASSERT_EQ(fs::file_size(retagged), fs::file_size(songs.alpha1));
    const auto indexedTime = fs::last_write_time(songs.alpha1);
    fs::rename(retagged, songs.alpha1);
    auto titleOfAlpha1 = [&] {
        const std::string body = get("files.js", {{"path", music + "/Alpha"}}).body;
        const std::size_t at = body.find(R"("title" : ")", body.find("b%2emp3"));
        return at == std::string::npos ? std::string() : body.substr(at + 11, 3);
    };
    fs::last_write_time(songs.alpha1, indexedTime);
    EXPECT_EQ(titleOfAlpha1(), "One") << "same size and time: the index's tags";
    fs::last_write_time(songs.alpha1, indexedTime + std::chrono::seconds(5));
    EXPECT_EQ(titleOfAlpha1(), "Uno") << "changed since: read from the file";
}

TEST_F(Browse, AlbumAndArtistPathsStreamInTrackOrderOnlyWhatIsShared)
{
    EXPECT_EQ(streamed(albumPath("Zed", "Alpha")), (std::vector<std::string>{songs.alpha1, songs.alpha2, songs.alpha3}));
    EXPECT_EQ(streamed(artistPath("Zed")), (std::vector<std::string>{songs.gamma, songs.alpha1, songs.alpha2, songs.alpha3}));
    EXPECT_EQ(streamed(albumPath(TaggedLibrary::nonAscii, "Beta")), std::vector<std::string>{songs.beta});
    EXPECT_EQ(get("stream", {{"path", albumPath("Zed", "None")}}).status, 404);
}

/// The fixture's instance as the peer of a second one, which asks it on a
/// client's behalf: the client has saved it as a place.
class PeerViews : public Browse {
protected:
    void SetUp() override
    {
        Browse::SetUp();
        ASSERT_TRUE(asker.start());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (asker.listeningPort() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_NE(asker.listeningPort(), 0);
    }
    void TearDown() override
    {
        asker.stop();
        if (auto handle = asker.threadHandle()) {
            EXPECT_TRUE(handle->waitFor(std::chrono::seconds(20)));
        }
        Browse::TearDown();
    }

    /// The second instance's answer to `route` for the fixture's as peer.
    Answer ask(const std::string& route, Parameters parameters)
    {
        const std::string peer = "127.0.0.1:" + std::to_string(server->listeningPort());
        parameters["host"] = peer;
        parameters["JSON_auth"] = "s";
        const std::string favs = E(R"([{"name":"p","host":")" + peer + R"(","path":""}])");
        testing_support::RawClient client(asker.listeningPort());
        EXPECT_TRUE(client.send("GET " + target(route, parameters) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                "Cookie: Tunelet=s; favs=" + favs + "\r\n\r\n"));
        return client.readAnswer(std::chrono::seconds(60));
    }

    hosttest::TempDirectory askerDir;
    host::Settings askerSettings{askerDir.path("gen_Tunelet.ini")};
    webapp::WebApplication askerApplication{nullptr, nullptr, askerSettings};
    webapp::TuneletServer asker{askerApplication, askerSettings, platform::loopbackAddress(), 0};
};

TEST_F(PeerViews, APeersListingsAndCoversArriveAsThePeerWroteThem)
{
    const std::string alpha = albumPath("Zed", "Alpha"), beta = albumPath(TaggedLibrary::nonAscii, "Beta");
    const struct {
        std::string route;
        Parameters parameters;
    } cases[] = {
        {"artists.js", {{"callback", "cb"}}},
        {"albums.js", {{"artist", "Zed"}, {"callback", "cb"}}},
        {"albums.js", {{"year", "1999"}, {"sortby", "2"}, {"callback", "cb"}}},
        {"album.js", {{"path", alpha}, {"callback", "cb"}}},
        {"genres.js", {{"callback", "cb"}}},
        {"years.js", {{"callback", "cb"}}},
        {"files.js", {{"path", music + "/Beta"}, {"callback", "cb"}}},
        {"find.js", {{"q", "alpha"}, {"sortby", "6"}, {"callback", "cb"}}},
        {"cover", {{"path", beta}}},
        {"cover", {{"path", beta}, {"size", "small"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route + " " + c.parameters.begin()->second);
        const Answer own = get(c.route, c.parameters);
        ASSERT_EQ(own.status, 200);
        ASSERT_GT(own.body.size(), 100u);
        const Answer proxied = ask("peer" + c.route, c.parameters);
        EXPECT_EQ(proxied.status, 200);
        EXPECT_EQ(proxied.header("Content-Type"), own.header("Content-Type"));
        EXPECT_TRUE(proxied.body == own.body) << proxied.body.substr(0, 200);
    }
    // A saved place answered is one whose album streams the local player may fetch.
    EXPECT_TRUE(askerApplication.library->mayFetchFrom("http://127.0.0.1:" + std::to_string(server->listeningPort()) +
                                                       "/stream?path=" + E(alpha)));
}

} // namespace
