#include "message/BufferStream.h"
#include "http/FileResponse.h"
#include "http/MediaTypes.h"
#include "http/RangeHeader.h"
#include "http/Server.h"
#include "message/Request.h"
#include "message/Response.h"
#include "message/SocketStream.h"
#include "message/UrlCoding.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <thread>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace http;
namespace fs = std::filesystem;

namespace {

std::string patterned(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator());
    return bytes;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Answer {
    bool served = false;
    std::string head;
    std::string body;
    std::vector<std::string> writes;
    Response response;
};

// A temporary document root beside a sibling whose name continues the root's.
class FileAnswers : public ::testing::Test {
protected:
    void SetUp() override
    {
        base = fs::temp_directory_path() / ("tunelet-files-" + std::to_string(::getpid()));
        fs::remove_all(base);
        root = base / "root";
        fs::create_directories(root);
        writeFile(root / "song.mp3", patterned(600, 1));
        writeFile(root / "SONG.MP3", patterned(600, 1));
        writeFile(root / "sub" / "page.css", "body{}");
        writeFile(base / "rootX" / "secret.txt", "sibling secret");
        writeFile(base / "outside.txt", "outside secret");
    }
    void TearDown() override { fs::remove_all(base); }

    Answer get(std::string_view name, const std::string& range = "", BufferStream* stream = nullptr)
    {
        BufferStream own;
        BufferStream& used = stream ? *stream : own;
        Request request;
        if (!range.empty())
            request.headers["Range"] = range;
        Answer answer;
        answer.response.socket = &used;
        answer.served = sendFile(answer.response, root.string(), request, name);
        answer.writes = used.writes();
        std::string sent = used.sent();
        std::size_t end = sent.find("\r\n\r\n");
        if (end != std::string::npos) {
            answer.head = sent.substr(0, end + 4);
            answer.body = sent.substr(end + 4);
        }
        return answer;
    }

    static std::string header(const Answer& answer, const std::string& name)
    {
        auto found = answer.response.headers.find(name);
        return found == answer.response.headers.end() ? "<none>" : found->second;
    }

    fs::path base;
    fs::path root;
};

} // namespace

TEST(MediaTypes, TableIsExactAndCaseSensitive)
{
    const std::pair<const char*, const char*> rows[] = {
        {"jpg", "image/jpeg"}, {"gif", "image/gif"}, {"css", "text/css"}, {"xml", "text/xml"},
        {"js", "text/javascript"}, {"ico", "image/x-icon"}, {"mp3", "audio/mpeg"}, {"mp2", "audio/mpeg"},
        {"mp1", "audio/mpeg"}, {"wav", "audio/wav"}, {"ogg", "application/ogg"}, {"flac", "audio/x-flac"},
        {"m4a", "audio/mp4"}, {"ape", "audio/monkeys-audio"}, {"aac", "audio/x-aac"}, {"wma", "audio/x-ms-wma"},
        {"m3u", "audio/m3u"}, {"pls", "audio/scpls"}, {"avi", "video/avi"}, {"mpg", "video/mpg"},
        {"mp4", "video/mp4"}, {"wmv", "video/x-ms-wvx"}, {"mov", "video/quicktime"},
    };
    EXPECT_EQ(mediaTypes().size(), std::size(rows));
    for (const auto& [extension, type] : rows)
        EXPECT_EQ(mediaTypeFor(extension), type) << extension;
    for (const char* missing : {"MP3", "Jpg", "png", "html", "txt", "", ".mp3", "mp3 "})
        EXPECT_EQ(mediaTypeFor(missing), "") << missing;
}

TEST(RangeHeader, ChoosesTheFirstRangeWithinTheFile)
{
    constexpr auto whole = RangeChoice::whole;
    constexpr auto part = RangeChoice::part;
    constexpr auto none = RangeChoice::unsatisfiable;
    struct Case {
        const char* value;
        std::uint64_t size;
        RangeChoice::Answer answer;
        std::uint64_t first = 0;
        std::uint64_t length = 0;
    };
    const Case cases[] = {
        {"bytes=0-0", 600, part, 0, 1},
        {"bytes=0-1", 600, part, 0, 2},
        {"bytes=100-199", 600, part, 100, 100},
        {"bytes=100-", 600, part, 100, 500},
        {"bytes=599-", 600, part, 599, 1},
        {"bytes=500-9999", 600, part, 500, 100},
        {"bytes=-100", 600, part, 500, 100},
        {"bytes=-9999", 600, part, 0, 600},
        {" Bytes = 5-6 ", 600, part, 5, 2},
        {"bytes=0-1,5-6", 600, part, 0, 2},
        {"bytes=700-800, 5-6", 600, part, 5, 2},   // the first one within the file
        {"bytes=,,3-4", 600, part, 3, 2},
        {"bytes=18446744073709551615-", 600, none},
        {"bytes=600-", 600, none},
        {"bytes=601-700", 600, none},
        {"bytes=-0", 600, none},
        {"bytes=0-", 0, none},
        {"bytes=-5", 0, none},
        {"bytes=5-2", 600, whole},
        {"bytes=abc", 600, whole},
        {"bytes=12ab-", 600, whole},
        {"bytes=-", 600, whole},
        {"bytes=", 600, whole},
        {"bytes=0-1,x", 600, whole},
        {"bytes 100", 600, whole},
        {"items=0-1", 600, whole},
        {"", 600, whole},
    };
    for (const Case& c : cases) {
        RangeChoice choice = chooseRange(c.value, c.size);
        EXPECT_EQ(choice.answer, c.answer) << c.value;
        if (c.answer == part) {
            EXPECT_EQ(choice.first, c.first) << c.value;
            EXPECT_EQ(choice.length, c.length) << c.value;
        }
    }
}

TEST(HttpDate, WritesFieldsWithoutLeadingZeros)
{
    EXPECT_EQ(httpDate(0), "Thu, 1 Jan 1970 0:0:0 GMT");
    EXPECT_EQ(httpDate(1804233849), "Fri, 5 Mar 2027 8:4:9 GMT");
    EXPECT_EQ(httpDate(951782400), "Tue, 29 Feb 2000 0:0:0 GMT");
    EXPECT_EQ(httpDate(4107542399), "Sun, 28 Feb 2100 23:59:59 GMT");
    EXPECT_EQ(httpDate(4107542400), "Mon, 1 Mar 2100 0:0:0 GMT");
    EXPECT_EQ(httpDate(-1), "Wed, 31 Dec 1969 23:59:59 GMT");

    // Against the C library over a wide spread of times.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::mt19937_64 generator(7);
    std::uniform_int_distribution<std::int64_t> times(-5000000000ll, 50000000000ll);
    for (int i = 0; i < 2000; ++i) {
        std::int64_t t = times(generator);
        std::time_t value = t;
        std::tm fields{};
        ASSERT_NE(gmtime_r(&value, &fields), nullptr);
        char expected[64];
        std::snprintf(expected, sizeof expected, "%s, %d %s %04d %d:%d:%d GMT", days[fields.tm_wday],
                      fields.tm_mday, months[fields.tm_mon], fields.tm_year + 1900, fields.tm_hour,
                      fields.tm_min, fields.tm_sec);
        ASSERT_EQ(httpDate(t), expected) << t;
    }
}

TEST_F(FileAnswers, WholeFile)
{
    Answer mp3 = get("song.mp3");
    ASSERT_TRUE(mp3.served);
    EXPECT_EQ(mp3.head, "HTTP/1.1 200 OK\r\n"
                        "Accept-Ranges: bytes\r\n"
                        "Accept_ranges: bytes\r\n"
                        "Content-Disposition: inline; filename=\"song.mp3\"\r\n"
                        "Content-Length: 600\r\n"
                        "Content-Type: audio/mpeg\r\n"
                        "Content-transfer-encoding: binary\r\n\r\n");
    EXPECT_EQ(mp3.body, patterned(600, 1));

    Answer upper = get("SONG.MP3");
    ASSERT_TRUE(upper.served);
    EXPECT_EQ(header(upper, "Content-Type"), "text/html");
    EXPECT_EQ(header(upper, "Content-Disposition"), "inline; filename=\"SONG.MP3\"");

    Answer nested = get("sub/page.css");
    EXPECT_EQ(header(nested, "Content-Type"), "text/css");
    EXPECT_EQ(header(nested, "Content-Disposition"), "inline; filename=\"page.css\"");
    EXPECT_EQ(nested.body, "body{}");
    Answer backslashed = get("sub\\page.css");
    EXPECT_EQ(backslashed.body, "body{}");

    writeFile(root / "empty.xml", "");
    Answer empty = get("empty.xml");
    ASSERT_TRUE(empty.served);
    EXPECT_EQ(header(empty, "Content-Length"), "0");
    EXPECT_EQ(empty.body, "");
}

TEST_F(FileAnswers, BlocksOf64KiB)
{
    const std::string bytes = patterned(65537, 2);
    writeFile(root / "odd.bin", bytes);
    Answer answer = get("odd.bin");
    ASSERT_TRUE(answer.served);
    ASSERT_EQ(answer.writes.size(), 3u);
    EXPECT_EQ(answer.writes[0], answer.head);
    EXPECT_EQ(answer.writes[1], bytes.substr(0, 65536));
    EXPECT_EQ(answer.writes[2], bytes.substr(65536));
    EXPECT_EQ(header(answer, "Content-Length"), "65537");
}

TEST_F(FileAnswers, SingleRanges)
{
    const std::string bytes = patterned(600, 1);
    auto check = [&](const std::string& range, std::uint64_t first, std::uint64_t last) {
        Answer answer = get("song.mp3", range);
        ASSERT_TRUE(answer.served) << range;
        EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 206 Partial Content") << range;
        EXPECT_EQ(header(answer, "Content-Range"),
                  "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/600") << range;
        EXPECT_EQ(header(answer, "Content-Length"), std::to_string(last - first + 1)) << range;
        EXPECT_EQ(answer.body, bytes.substr(first, last - first + 1)) << range;
        EXPECT_EQ(header(answer, "Accept-Ranges"), "bytes");
    };
    check("bytes=0-0", 0, 0);
    check("bytes=0-1", 0, 1);  // what a media element asks first
    check("bytes=100-199", 100, 199);
    check("bytes=100-", 100, 599);
    check("bytes=-100", 500, 599);
    check("bytes=0-1,5-6", 0, 1);
    check("bytes=590-700", 590, 599);

    for (const char* range : {"bytes=5-2", "bytes=abc", "bytes 100"}) {
        Answer answer = get("song.mp3", range);
        EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 200 OK") << range;
        EXPECT_EQ(answer.body, bytes) << range;
        EXPECT_EQ(header(answer, "Content-Range"), "<none>") << range;
    }
    for (const char* range : {"bytes=600-", "bytes=601-", "bytes=99999999999999999999-", "bytes=-0"}) {
        Answer answer = get("song.mp3", range);
        ASSERT_TRUE(answer.served) << range;
        EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 416 Range Not Satisfiable");
        EXPECT_EQ(header(answer, "Content-Range"), "bytes */600");
        EXPECT_EQ(header(answer, "Content-Length"), "0");
        EXPECT_EQ(answer.body, "");
    }
    writeFile(root / "empty.xml", "");
    EXPECT_NE(get("empty.xml", "bytes=0-").head.find(" 416 "), std::string::npos);
}

TEST_F(FileAnswers, NamesLeavingTheRootAreRefused)
{
    fs::create_symlink(base / "outside.txt", root / "out-link");
    fs::create_directory_symlink(base, root / "up");
    fs::create_symlink(root / "song.mp3", root / "in-link.mp3");
    // Names as the web application passes them on: the path after its "/",
    // already percent-decoded.
    auto decoded = [](std::string text) {
        urlDecode(text);
        return text;
    };
    const std::string refused[] = {
        "../outside.txt",
        "sub/../../outside.txt",
        "..\\outside.txt",
        decoded("%2e%2e/outside.txt"),
        decoded("%2E%2E%2Foutside.txt"),
        decoded("sub%2f..%2f..%2foutside.txt"),
        "../rootX/secret.txt",
        (base / "outside.txt").string(),  // absolute: taken below the root, where it is not
        "/../outside.txt",
        "out-link",
        "up/outside.txt",
        "missing.mp3",
        "sub",        // a directory
        "",
        ".",
        "sub/..",
    };
    for (const std::string& name : refused) {
        BufferStream stream;
        Request request;
        Response response(&stream);
        EXPECT_FALSE(sendFile(response, root.string(), request, name)) << name;
        EXPECT_EQ(stream.sent(), "") << name;
    }
    Answer viaLink = get("in-link.mp3");
    EXPECT_TRUE(viaLink.served);
    EXPECT_EQ(viaLink.body, patterned(600, 1));
    EXPECT_EQ(header(viaLink, "Content-Disposition"), "inline; filename=\"in-link.mp3\"");
    EXPECT_TRUE(get("sub/../song.mp3").served);
}

TEST_F(FileAnswers, ARootRemovedOrMadeAgainIsFollowed)
{
    ASSERT_EQ(get("song.mp3").body, patterned(600, 1));
    fs::remove_all(root);
    EXPECT_FALSE(get("song.mp3").served);
    writeFile(root / "song.mp3", "new");
    EXPECT_EQ(get("song.mp3").body, "new");
    EXPECT_FALSE(get("SONG.MP3").served);  // only in the old one
}

TEST_F(FileAnswers, AServerGoneHoldsItsFolderNoLonger)
{
    const fs::path canonical = fs::canonical(root);
    auto held = [&canonical] {
        std::error_code error;
        for (const auto& fd : fs::directory_iterator("/proc/self/fd"))
            if (fs::read_symlink(fd.path(), error) == canonical)
                return true;
        return false;
    };
    struct Unstarted final : http::Server {
        Unstarted() : http::Server(0x7F000001, 0) {}
        bool acceptConnection(platform::UniqueFd) override { return false; }
    };
    {
        Unstarted server;
        server.documentRoot = root.string();
        BufferStream stream;
        Response response;
        response.socket = &stream;
        ASSERT_TRUE(sendFile(response, server, Request{}, "song.mp3"));
        EXPECT_TRUE(held());
    }
    EXPECT_FALSE(held());
    EXPECT_EQ(get("song.mp3").body, patterned(600, 1));  // opened again when asked
}

TEST_F(FileAnswers, ANameAskedForInVainIsFoundOnceItIsMade)
{
    // Asked for again and again (the misses are remembered), then made at
    // once: in the root, in a folder made meanwhile, under an old miss.
    for (int i = 0; i < 40; ++i) {
        const std::string name = "late" + std::to_string(i % 4) + ".txt";
        const fs::path where = i % 2 ? root / "late" / name : root / name;
        const std::string asked = i % 2 ? "late/" + name : name;
        for (int again = 0; again < 3; ++again)
            ASSERT_FALSE(get(asked).served) << asked;
        writeFile(where, "made " + std::to_string(i));
        ASSERT_EQ(get(asked).body, "made " + std::to_string(i)) << asked;
        fs::remove(where);
        ASSERT_FALSE(get(asked).served) << asked;
        if (i % 8 == 7)
            std::this_thread::sleep_for(std::chrono::milliseconds(30));  // into the next tick of the file clock
    }
}

TEST_F(FileAnswers, HostileFileNameStaysInItsHeader)
{
    writeFile(root / "a\"b\r\nSet-Cookie: x.mp3", "z");
    Answer answer = get("a\"b\r\nSet-Cookie: x.mp3");
    ASSERT_TRUE(answer.served);
    EXPECT_EQ(header(answer, "Content-Disposition"), "inline; filename=\"a\\\"b__Set-Cookie: x.mp3\"");
    EXPECT_EQ(answer.head.find("\r\nSet-Cookie"), std::string::npos);
}

TEST_F(FileAnswers, UnopenableFileIs500)
{
    // Running out of descriptors makes the open fail even for root, who may
    // read any file regardless of its mode.
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own checks need descriptors of their own and report
    // false faults while none are left.
    GTEST_SKIP() << "needs a process that can run out of descriptors";
#endif
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    int lowest = ::dup(0);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    Answer answer = get("song.mp3");
    setrlimit(RLIMIT_NOFILE, &saved);

    ASSERT_TRUE(answer.served);
    EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 500 Internal Server Error");
    EXPECT_EQ(answer.body, "<h1>500 Internal Server Error</h1>");
}

TEST_F(FileAnswers, BrokenConnectionEndsTheBody)
{
    writeFile(root / "long.bin", patterned(300 * 1024, 3));
    BufferStream stream;
    Answer probe = get("long.bin");
    stream.breakAfter(probe.head.size() + 3 * 65536);
    Answer answer = get("long.bin", "", &stream);
    EXPECT_TRUE(answer.served);
    EXPECT_EQ(answer.writes.size(), 4u);  // the head, three pieces, then nothing more is tried
}

// A file that shrinks between its stat and its sending leaves a body shorter
// than announced: the connection must not carry another answer.
TEST_F(FileAnswers, ABodyShorterThanAnnouncedEndsTheConnection)
{
    struct Case {
        const char* name;
        std::uint64_t announced;
        std::string range;
        bool ends;
    };
    const Case cases[] = {
        {"whole, as long as announced", 600, "", false},
        {"a range within the file", 600, "bytes=100-199", false},
        {"whole, the file shrank", 1000, "", true},
        {"a range past the file's new end", 1000, "bytes=500-899", true},
    };
    for (const Case& c : cases) {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        SocketStream stream(ends[0]);
        const int file = ::open((root / "song.mp3").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(file, 0);
        Request request;
        if (!c.range.empty())
            request.headers["Range"] = c.range;
        Response response(&stream);
        sendOpenFile(response, request, file, c.announced, "song.mp3");
        EXPECT_EQ(stream.hasFailedToSend(), c.ends) << c.name;
        ::close(file);
        ::close(ends[0]);
        ::close(ends[1]);
    }
}

TEST_F(FileAnswers, FilesOf4GiBAndMore)
{
    const std::uint64_t size = (5ull << 30) + 3;
    const fs::path big = root / "big.bin";
    {
        std::ofstream(big, std::ios::binary);
    }
    fs::resize_file(big, size);  // sparse: takes no disk space
    {
        std::fstream file(big, std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(static_cast<std::streamoff>(size - 2000));
        file.put('F');
        file.seekp(static_cast<std::streamoff>(size - 1));
        file.put('L');
    }

    const std::uint64_t start = size - 2000;
    Answer tail = get("big.bin", "bytes=" + std::to_string(start) + "-");
    ASSERT_TRUE(tail.served);
    EXPECT_EQ(header(tail, "Content-Range"),
              "bytes " + std::to_string(start) + "-" + std::to_string(size - 1) + "/" + std::to_string(size));
    EXPECT_EQ(header(tail, "Content-Length"), "2000");
    ASSERT_EQ(tail.body.size(), 2000u);
    EXPECT_EQ(tail.body.front(), 'F');
    EXPECT_EQ(tail.body.back(), 'L');
    EXPECT_EQ(tail.body.substr(1, 1998), std::string(1998, '\0'));

    // Beyond 4 GiB but not near the end: the offset must not be cut to 32 bits.
    BufferStream middleStream;
    middleStream.breakAfter(4096);
    Answer middle = get("big.bin", "bytes=4294967296-", &middleStream);
    EXPECT_EQ(header(middle, "Content-Range"), "bytes 4294967296-" + std::to_string(size - 1) + "/" + std::to_string(size));
    EXPECT_EQ(header(middle, "Content-Length"), std::to_string(size - 4294967296ull));

    EXPECT_NE(get("big.bin", "bytes=" + std::to_string(size) + "-").head.find(" 416 "), std::string::npos);

    // The whole file: only the head and a first piece go through.
    BufferStream stream;
    stream.breakAfter(4096);
    Answer whole = get("big.bin", "", &stream);
    EXPECT_EQ(header(whole, "Content-Length"), std::to_string(size));
    EXPECT_NE(whole.head.find("Content-Length: 5368709123\r\n"), std::string::npos);
}
