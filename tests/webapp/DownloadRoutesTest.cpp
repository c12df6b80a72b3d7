// "download" and "stream" over loopback: file answers with ranges (a sparse
// file past 4 GiB included), what must never be opened, a client that
// leaves mid-transfer, and the M3U exports of folders, trees and playlist
// files.
#include "ServedLibrary.h"

#include <sys/stat.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

using webapptest::ServedLibrary;

const std::string notFoundPage = "<html><body><h1>404 Not Found</h1></body></html>";

std::string patterned(std::size_t size)
{
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 251) & 0xff);
    return bytes;
}

std::string E(const std::string& text)
{
    return http::urlEncode(text);
}

/// "/download?..." of a URL this server wrote, without "http://" and the host.
std::string targetOf(const std::string& url, const std::string& host)
{
    return url.substr(std::string("http://").size() + host.size());
}

class Downloads : public ServedLibrary {};

} // namespace

TEST_F(Downloads, FileAnswersAndWhatIsNeverServed)
{
    const std::string bytes = patterned(3000);
    const std::string song = file(music + "/song.mp3", bytes);
    file(music + "/notes.txt", bytes);
    file(dir.path("outside.mp3"), bytes);
    fs::create_directories(music + "/folder.mp3");
    ASSERT_EQ(::mkfifo((music + "/fifo.mp3").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", music + "/device.mp3");

    struct Case {
        std::string path, range;
        int status;
        std::string body, contentRange;
    };
    const std::vector<Case> cases = {
        {song, "", 200, bytes, ""},
        {song, "bytes=1000-", 206, bytes.substr(1000), "bytes 1000-2999/3000"},
        {song, "bytes=2999-", 206, bytes.substr(2999), "bytes 2999-2999/3000"},
        {song, "bytes=3000-", 416, "", "bytes */3000"},
        {dir.path("outside.mp3"), "", 404, notFoundPage, ""},
        {music + "/notes.txt", "", 404, notFoundPage, ""},
        {music + "/none.mp3", "", 404, notFoundPage, ""},
        {music + "/folder.mp3", "", 404, notFoundPage, ""},
        {music + "/fifo.mp3", "", 404, notFoundPage, ""},
        {music + "/device.mp3", "", 404, notFoundPage, ""},
        {music + "/../music/song.mp3", "", 404, notFoundPage, ""},
    };
    for (const Case& c : cases) {
        std::string headers = "Host: 127.0.0.1\r\nCookie: Tunelet=" + session + "\r\n";
        if (!c.range.empty())
            headers += "Range: " + c.range + "\r\n";
        Answer answer = get("download", {{"path", c.path}}, headers);
        EXPECT_EQ(answer.status, c.status) << c.path << " " << c.range;
        EXPECT_TRUE(answer.body == c.body) << c.path << " " << c.range;
        EXPECT_EQ(answer.header("Content-Range").value_or(""), c.contentRange) << c.path << " " << c.range;
        if (c.status == 200 || c.status == 206) {
            EXPECT_EQ(answer.header("Content-Type"), "audio/mpeg");
            EXPECT_EQ(answer.header("Content-Disposition"), "inline; filename=\"song.mp3\"");
            EXPECT_EQ(answer.header("Accept_ranges"), "bytes");
        }
    }
}

TEST_F(Downloads, ASparseFileFromAnOffsetPast4GiB)
{
    const std::uint64_t size = (5ull << 30) + 3;
    const std::string big = file(music + "/big.flac", "");
    fs::resize_file(big, size);
    {
        std::fstream out(big, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(size - 2000));
        out.put('F');
        out.seekp(static_cast<std::streamoff>(size - 1));
        out.put('L');
    }
    const std::uint64_t start = size - 2000;
    Answer tail = get("download", {{"path", big}},
                      "Host: 127.0.0.1\r\nRange: bytes=" + std::to_string(start) + "-\r\n");
    EXPECT_EQ(tail.status, 206);
    EXPECT_EQ(tail.header("Content-Type"), "audio/x-flac");
    EXPECT_EQ(tail.header("Content-Range"),
              "bytes " + std::to_string(start) + "-" + std::to_string(size - 1) + "/" + std::to_string(size));
    ASSERT_EQ(tail.body.size(), 2000u);
    EXPECT_EQ(tail.body.front(), 'F');
    EXPECT_EQ(tail.body.back(), 'L');
    EXPECT_EQ(tail.body.substr(1, 1998), std::string(1998, '\0'));
}

TEST_F(Downloads, AClientLeavingMidTransferAndKeptConnections)
{
    const std::string bytes = patterned(24 << 20);
    const std::string song = file(music + "/long.mp3", bytes);
    for (int round = 0; round < 3; ++round) {
        testing_support::RawClient leaving(server->listeningPort());
        ASSERT_TRUE(leaving.send("GET " + target("download", {{"path", song}}) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
        std::this_thread::sleep_for(50ms);  // the server is blocked in the middle of the body
        leaving.close();                    // with unread data: the server's next send meets a reset
    }
    // Two answers on one kept connection are framed by their lengths.
    testing_support::RawClient kept(server->listeningPort());
    for (const std::string& range : {std::string("bytes=100-"), "bytes=" + std::to_string(bytes.size() - 7) + "-"}) {
        ASSERT_TRUE(kept.send("GET " + target("download", {{"path", song}}) + " HTTP/1.1\r\nHost: 127.0.0.1\r\nRange: " +
                              range + "\r\n\r\n"));
        Answer answer = kept.readAnswer(60s);
        EXPECT_EQ(answer.status, 206);
        EXPECT_TRUE(answer.body == bytes.substr(std::stoul(range.substr(6)))) << range;
    }
}

TEST_F(Downloads, StreamsOfFoldersTreesAndNothing)
{
    file(music + "/z.mp3");
    file(music + "/a b.ogg");
    file(music + "/Album/b.mp3");
    file(music + "/Album/Deeper/c.flac");
    file(music + "/skipped.m3u", "#EXTM3U\n");
    file(music + "/readme.txt");
    fs::create_directories(music + "/Empty/Inner");

    Answer stream = get("stream", {{"path", music}});
    EXPECT_EQ(stream.status, 200);
    EXPECT_EQ(stream.header("Content-Type"), "audio/m3u");
    EXPECT_EQ(stream.header("Content-Disposition"), "inline; filename=playlist.m3u");
    EXPECT_EQ(stream.header("Cache-Control"), "must-revalidate");
    EXPECT_EQ(stream.header("Expires"), "-1");
    auto entry = [&](const std::string& relative, const std::string& host = "127.0.0.1") {
        const std::string path = music + "/" + relative;
        return "#EXTINF:0," + path.substr(path.rfind('/') + 1) + "\nhttp://" + host + "/download?path=" + E(path) +
               "&auth=\n";
    };
    // Sorted by the whole path, so the subfolders' files come first here.
    EXPECT_EQ(stream.body, "#EXTM3U\n" + entry("Album/Deeper/c.flac") + entry("Album/b.mp3") + entry("a b.ogg") +
                               entry("z.mp3"));

    EXPECT_EQ(get("stream", {{"path", music + "/Album/b.mp3"}}).body, "#EXTM3U\n" + entry("Album/b.mp3"));
    EXPECT_EQ(get("stream", {{"path", music + "/Album"}}, "").body,
              "#EXTM3U\n" + entry("Album/Deeper/c.flac", "") + entry("Album/b.mp3", ""));

    for (const std::string& nothing : {music + "/Empty", dir.path("outside"), music + "/none.mp3"}) {
        Answer empty = get("stream", {{"path", nothing}});
        EXPECT_EQ(empty.status, 404) << nothing;
        EXPECT_EQ(empty.body, "<h1>404 Not Found</h1>") << nothing;
    }
}

TEST_F(Downloads, APlaylistFileKeepsItsEntriesAndEachOneDownloads)
{
    const std::string relative = file(music + "/lists/sub dir/r.mp3", "relative");
    const std::string absolute = file(music + "/a.mp3", "absolute");
    const std::string list = file(music + "/lists/mix.m3u",
                                  "#EXTM3U\n#EXTINF:12,Rel\nsub dir/r.mp3\n#EXTINF:-1,Abs\n" + absolute +
                                      "\n#EXTINF:5,Radio\nhttp://radio.invalid/x?a=1\n#EXTINF:3,Odd: name\n"
                                      "Live: Side A.mp3\n");
    file(music + "/lists/Live: Side A.mp3", "colon");

    const std::string prefix = "http://127.0.0.1/download?auth=&path=" + E(music + "/lists/");
    const std::string text = get("stream", {{"path", list}}).body;
    EXPECT_EQ(text, "#EXTM3U\n#EXTINF:12,Rel\n" + prefix + E("sub dir/r.mp3") + "\n#EXTINF:-1,Abs\n" +
                        "http://127.0.0.1/download?path=" + E(absolute) + "&auth=\n#EXTINF:5,Radio\nhttp://radio.invalid/x?a=1\n" +
                        "#EXTINF:3,Odd: name\n" + prefix + E("Live: Side A.mp3") + "\n");

    std::vector<std::string> bodies;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("http://127.0.0.1/"))
            bodies.push_back(get(targetOf(line, "127.0.0.1").substr(1)).body);
    EXPECT_EQ(bodies, (std::vector<std::string>{"relative", "absolute", "colon"}));
}
