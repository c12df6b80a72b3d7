#include "message/MessagePieces.h"
#include "message/BufferStream.h"
#include "message/Response.h"

#include <gtest/gtest.h>

using http::BufferStream;
using http::Response;
using Map = std::map<std::string, std::string>;
using namespace std::string_literals;

namespace {

const Map defaultHeaders{{"Content-Type", "text/html"}};

void expectUnchanged(const Response& r)
{
    EXPECT_EQ(r.protocol, "HTTP/1.1");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.reason, "OK");
    EXPECT_EQ(r.headers, defaultHeaders);
    EXPECT_EQ(r.body, "");
}

} // namespace

TEST(ResponseReceive, StatusLineAndHeaders)
{
    struct Case {
        std::string text;
        std::string protocol;
        int status;
        std::string reason;
        Map headers;
        std::string body;
    };
    const Case cases[] = {
        {"HTTP/1.0 404 Not Found\r\nServer: x\r\n\r\n", "HTTP/1.0", 404, "Not Found", {{"Server", "x"}}, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Type: audio/x-mpegurl\r\nContent-Type: b\r\n\r\nabcdef",
         "HTTP/1.1", 200, "OK", {{"Content-Length", "3"}, {"Content-Type", "audio/x-mpegurl"}}, "abc"},
        {"HTTP/1.1 304\r\n\r\n", "HTTP/1.1", 304, "OK", {}, ""},  // no reason word: the old one stays
        {"HTTP/1.1 500 Bad  Thing \r\n\r\n", "HTTP/1.1", 500, "Bad  Thing ", {}, ""},
        {"HTTP/1.1 abc Odd\r\n\r\n", "HTTP/1.1", 0, "Odd", {}, ""},
        {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n\0\1\2\3\4tail"s, "HTTP/1.1", 200, "OK",
         {{"Content-Length", "5"}}, std::string("\0\1\2\3\4", 5)},
        {"HTTP/1.1 200 OK\r\n\r\nno length, no body", "HTTP/1.1", 200, "OK", {}, ""},
        {"HTTP/1.1 201 Made\r\nA: 1\r\n", "HTTP/1.1", 201, "Made", {{"A", "1"}}, ""},  // no blank line
        // Without a status word nothing but the protocol is read.
        {"HTTP/1.1\r\nA: 1\r\n\r\nbody", "HTTP/1.1", 200, "OK", defaultHeaders, ""},
        {"HTTP/1.1  200 OK\r\nA: 1\r\n\r\n", "HTTP/1.1", 200, "OK", defaultHeaders, ""},
        {"garbage", "garbage", 200, "OK", defaultHeaders, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Response fromText;
        fromText.parseText(c.text);
        BufferStream stream({c.text});
        Response fromStream;
        fromStream.receive(stream);
        for (const Response* r : {&fromText, &fromStream}) {
            EXPECT_EQ(r->protocol, c.protocol);
            EXPECT_EQ(r->status, c.status);
            EXPECT_EQ(r->reason, c.reason);
            EXPECT_EQ(r->headers, c.headers);
            EXPECT_EQ(r->body, c.body);
        }
    }
}

TEST(ResponseReceive, BodyInPiecesStopsAtContentLength)
{
    std::string body;
    for (int i = 0; i < 9000; ++i)
        body += "#EXTINF:" + std::to_string(i) + "\n";
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        BufferStream stream(http::test::randomPieces(head + body + "NEXT", rng, 1 + seed * 500));
        Response response;
        response.receive(stream);
        EXPECT_EQ(response.body, body) << seed;
        EXPECT_EQ(stream.unreadInput(), "NEXT") << seed;
    }
}

TEST(ResponseReceive, LargeBodyIsReadInBatchesBelowBufferSize)
{
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n";
    const std::string body(200000, 'b');
    BufferStream stream({head + body});
    Response response;
    response.receive(stream);
    EXPECT_EQ(response.body, body);
    // The head's receive takes 40960 bytes, the rest comes 40959 at a time.
    std::size_t rest = head.size() + body.size() - 40960;
    EXPECT_EQ(stream.receiveCount(), 1 + int((rest + 40958) / 40959));
}

TEST(ResponseReceive, TruncatedBodyKeepsWhatArrived)
{
    BufferStream closed({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n012", "34"});
    Response response;
    response.receive(closed);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "01234");

    BufferStream failed({"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n012", "34"});
    failed.addReceiveError();
    failed.addInput("56789");
    Response afterError;
    afterError.receive(failed);
    EXPECT_EQ(afterError.body, "01234");
    EXPECT_EQ(failed.unreadInput(), "56789");
}

TEST(ResponseReceive, NothingUsableLeavesResponseUnchanged)
{
    BufferStream errorInHead({"HTTP/1.1 404 Not Fo"});
    errorInHead.addReceiveError();
    Response response;
    response.receive(errorInHead);
    expectUnchanged(response);

    BufferStream closedAtOnce;
    Response silent;
    silent.receive(closedAtOnce);
    expectUnchanged(silent);

    Response empty;
    empty.parseText("");
    expectUnchanged(empty);
}
