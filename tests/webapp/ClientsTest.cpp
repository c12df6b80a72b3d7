// Real clients against "stream" and "download": curl, mpv and ffprobe, and
// with passwords, logins without cookies whose streamed URLs carry a token.
#include "ServedLibrary.h"
#include "http/support/ShellCommand.h"
#include "http/AccessRules.h"

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using webapptest::ServedLibrary;

using testing_support::Outcome;
using testing_support::run;

std::string shellQuoted(const std::string& text)
{
    return "'" + text + "'";
}

class Clients : public ServedLibrary {
protected:
    /// `count` tagged tones of `seconds` each, "Track 1.mp3" ..., in `folder`.
    void makeTracks(const std::string& folder, int count, int seconds)
    {
        fs::create_directories(folder);
        for (int i = 1; i <= count; ++i) {
            const std::string path = folder + "/Track " + std::to_string(i) + ".mp3";
            Outcome made = run("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=" + std::to_string(300 + 100 * i) +
                               ":duration=" + std::to_string(seconds) + " -ac 2 -ar 44100 -b:a 320k " + shellQuoted(path));
            ASSERT_EQ(made.exitCode, 0) << made.output;
        }
    }
};

} // namespace

TEST_F(Clients, MpvPlaysAFolderStreamToTheEnd)
{
    makeTracks(music + "/Album", 3, 2);
    Outcome played = run("mpv --no-config --ao=null --no-video " + shellQuoted(url("stream", {{"path", music + "/Album"}})));
    EXPECT_EQ(played.exitCode, 0) << played.output;
    EXPECT_NE(played.output.find("Exiting... (End of file)"), std::string::npos) << played.output;
    std::vector<std::string> tracks;
    static const std::regex playing("Playing: \\S+/download\\?path=\\S+Track%20([0-9])%2emp3&auth=\n");
    for (std::sregex_iterator at(played.output.begin(), played.output.end(), playing), end; at != end; ++at)
        tracks.push_back((*at)[1]);
    EXPECT_EQ(tracks, (std::vector<std::string>{"1", "2", "3"})) << played.output;
    EXPECT_EQ(played.output.find("Failed"), std::string::npos) << played.output;
}

TEST_F(Clients, MpvStartsAStreamFromItsMiddleWithARangedRequest)
{
    // Large enough that the player asks for the middle instead of reading on.
    const std::string wav = music + "/Long/long.wav";
    fs::create_directories(music + "/Long");
    Outcome made = run("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=500:duration=120 -ac 2 -ar 44100 " +
                       shellQuoted(wav));
    ASSERT_EQ(made.exitCode, 0) << made.output;
    Outcome played = run("mpv --no-config --ao=null --no-video --cache=no --start=50% --length=1 "
                         "--msg-level=all=debug " + shellQuoted(url("stream", {{"path", music + "/Long"}})));
    EXPECT_EQ(played.exitCode, 0) << played.output;
    std::smatch restart;
    ASSERT_TRUE(std::regex_search(played.output, restart, std::regex("playback restart complete @ ([0-9.]+)")));
    EXPECT_NEAR(std::stod(restart[1]), 60.0, 1.0);
    std::smatch statistics;
    ASSERT_TRUE(std::regex_search(played.output, statistics,
                                  std::regex("AVIOContext: Statistics: ([0-9]+) bytes read, [1-9][0-9]* seeks")))
        << played.output;
    EXPECT_LT(std::stoull(statistics[1]), fs::file_size(wav) / 4);
}

TEST_F(Clients, CurlRangesAndFfprobe)
{
    makeTracks(music, 1, 2);
    const std::string track = music + "/Track 1.mp3";
    const std::string bytes = hosttest::TempDirectory::readText(track);
    const std::string out = dir.path("part");
    Outcome ranged = run("curl -sS --max-time 20 -w '%{http_code}' -r 1000- -o " + shellQuoted(out) + " " +
                         shellQuoted(url("download", {{"path", track}})));
    EXPECT_EQ(ranged.output, "206");
    EXPECT_TRUE(hosttest::TempDirectory::readText(out) == bytes.substr(1000));

    Outcome probe = run("ffprobe -v error -show_entries format=format_name,duration -of default=nw=1 " +
                        shellQuoted(url("download", {{"path", track}})));
    EXPECT_EQ(probe.exitCode, 0) << probe.output;
    EXPECT_TRUE(std::regex_search(probe.output, std::regex("format_name=mp3\nduration=2\\.0"))) << probe.output;
}

TEST_F(Clients, WithPasswordsStreamUrlsCarryATokenThatOpensDownloadsOnly)
{
    http::AccessRules rules;
    rules.requirePassword = true;
    rules.username = "alice";
    rules.password = "s3cret";
    server->setAccess(rules);
    makeTracks(music, 2, 1);
    const std::string first = hosttest::TempDirectory::readText(music + "/Track 1.mp3");

    // Neither curl keeps cookies: Digest finds its challenge by the opaque,
    // Basic is checked on each request. The URLs of both carry a token.
    const std::string curl = "curl -sS --max-time 20 ";
    const std::regex tokenAtEnd("&auth=([0-9a-f]{32})\n");
    std::string token;
    const std::string saved = dir.path("basic.m3u");
    for (const std::string scheme : {"--digest", "--basic"}) {
        Outcome m3u = run(curl + scheme + " -u alice:s3cret " + shellQuoted(url("stream", {{"path", music}})));
        std::smatch found;
        ASSERT_TRUE(std::regex_search(m3u.output, found, tokenAtEnd)) << scheme << m3u.output;
        token = found[1];
        std::istringstream lines(m3u.output);
        std::string line;
        while (std::getline(lines, line) && !line.starts_with("http://")) {
        }
        EXPECT_TRUE(run(curl + shellQuoted(line)).output == first) << scheme << line;
        std::ofstream(saved) << m3u.output;
    }
    // The player handed the Basic login's playlist plays it through.
    Outcome played = run("mpv --no-config --ao=null --no-video " + shellQuoted(saved));
    EXPECT_NE(played.output.find("Exiting... (End of file)"), std::string::npos) << played.output;
    EXPECT_EQ(played.output.find("Failed"), std::string::npos) << played.output;

    // ffprobe with the password in the URL logs in with Digest, cookie-less.
    std::string withPassword = url("download", {{"path", music + "/Track 1.mp3"}});
    withPassword.insert(std::string("http://").size(), "alice:s3cret@");
    Outcome probe = run("ffprobe -v error -show_entries format=format_name -of default=nw=1 " +
                        shellQuoted(withPassword));
    EXPECT_EQ(probe.output, "format_name=mp3\n");

    // The token opens downloads and nothing else; a listing hands it out.
    const std::string status = curl + "-o /dev/null -w '%{http_code}' ";
    const std::pair<std::string, std::string> refused[] = {
        {"download without the token", shellQuoted(url("download", {{"path", music + "/Track 1.mp3"}}))},
        {"listing with the token", shellQuoted(url("library.js", {{"auth", token}}))},
        {"token as the cookie", "-b Tunelet=" + token + " " + shellQuoted(url("download", {{"path", music + "/Track 1.mp3"}}))},
    };
    for (const auto& [name, arguments] : refused)
        EXPECT_EQ(run(status + arguments).output, "401") << name;
    Outcome listing = run(curl + "--digest -u alice:s3cret " + shellQuoted(url("library.js", {})));
    EXPECT_TRUE(std::regex_search(listing.output, std::regex("\n\"auth\" : \"[0-9a-f]{32}\",\n"))) << listing.output;
}
