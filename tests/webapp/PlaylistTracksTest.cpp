// "playlisttracks.js" over loopback with the real player: the facts of each
// entry byte for byte (tagged files made with ffmpeg, a folder cover, a
// missing file, a stream URL, a file outside the shares), and paging.
#include "ServedPlayer.h"
#include "http/support/ShellCommand.h"
#include "message/UrlCoding.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

std::string E(const std::string& text)
{
    return http::urlEncode(text);
}

std::string row(int index, const std::string& duration, const std::string& title = "", const std::string& artist = "",
                const std::string& album = "", const std::string& cover = "")
{
    return "{\"index\" : \"" + std::to_string(index) + "\",\"duration\" : \"" + duration + "\",\"title\" : \"" +
           E(title) + "\",\"artist\" : \"" + E(artist) + "\",\"album\" : \"" + E(album) + "\",\"cover\" : \"" +
           (cover.empty() ? "" : "cover%3fpath%3d" + E(E(cover))) + "\"}";
}

class PlaylistTracks : public webapptest::ServedPlayer {
protected:
    /// A FLAC file of `seconds` at 44.1 kHz (its length exact to the
    /// millisecond), with the given tags.
    std::string flac(const std::string& relative, int seconds, const std::string& tags)
    {
        const std::string path = music + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const testing_support::Outcome made = testing_support::run(
            "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
            " -ar 44100 " + tags + " '" + path + "'");
        EXPECT_EQ(made.exitCode, 0) << made.output;
        return path;
    }
};

} // namespace

TEST_F(PlaylistTracks, EachEntryHasItsFactsAndPagesCut)
{
    const std::string tagged =
        flac("Tagged/one.flac", 2, "-metadata title='Caf\xc3\xa9 Song' -metadata artist='A & B' -metadata album='X/Y'");
    const std::string plain = flac("Covered/two.flac", 1, "");
    std::ofstream(music + "/Covered/cover.jpg") << "jpeg";
    const std::string outside = dir.file("outside.flac");
    ASSERT_EQ(testing_support::run("cp '" + tagged + "' '" + outside + "'").exitCode, 0);
    for (const std::string& file : {tagged, plain, music + "/gone.flac", std::string("http://127.0.0.1:9/live"), outside})
        harness.append(file);

    const std::vector<std::string> rows = {
        row(0, "2000", "Caf\xc3\xa9 Song", "A & B", "X/Y"), row(1, "1000", "", "", "", plain),
        row(2, "0"), row(3, "0"), row(4, "0"),
    };
    struct Case {
        std::map<std::string, std::string> parameters;
        std::string prefix;
        int from, to;
    };
    const std::vector<Case> cases = {
        {{{"callback", "cb"}}, "cb(", 0, 5},
        {{{"callback", "cb"}, {"start", "1"}, {"count", "2"}}, "cb(", 1, 3},
        {{{"callback", "alert(1)//"}, {"start", "4"}, {"count", "9"}}, "(", 4, 5},
        {{{"callback", "cb"}, {"start", "9"}}, "cb(", 5, 5},
    };
    for (int pass = 0; pass < 2; ++pass) {   // the second from the cache
        for (const Case& c : cases) {
            std::string expected = c.prefix + "{\"start\" : \"" + std::to_string(c.from) + "\",\"total\" : \"5\",\"tracks\" : [";
            for (int i = c.from; i < c.to; ++i)
                expected += (i == c.from ? "\n" : ",\n") + rows[static_cast<std::size_t>(i)];
            EXPECT_EQ(body("playlisttracks.js", c.parameters), expected + "\n]});") << pass << " " << c.from;
        }
    }
}

TEST_F(PlaylistTracks, ClientsAtOnceShareTheCache)
{
    for (int i = 0; i < 4; ++i)
        harness.append(flac("same/" + std::to_string(i) + ".flac", 1, "-metadata title=T" + std::to_string(i)));
    std::vector<std::string> bodies(4);
    {
        std::vector<std::jthread> clients;
        for (std::string& got : bodies)
            clients.emplace_back([&] {
                testing_support::RawClient own(server->listeningPort());
                for (int round = 0; round < 5; ++round) {
                    own.send("GET " + target("playlisttracks.js", {{"callback", "cb"}}) +
                             " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + cookie + "\r\n");
                    got = own.readAnswer().body;
                }
            });
    }
    for (const std::string& got : bodies) {
        EXPECT_EQ(got, bodies[0]);
        EXPECT_NE(got.find("\"duration\" : \"1000\",\"title\" : \"T3\""), std::string::npos) << got;
    }
}
