#include "message/Response.h"

#include <gtest/gtest.h>

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

TEST(ResponseParse, StatusLineAndHeaders)
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
        Response r;
        r.parseText(c.text);
        EXPECT_EQ(r.protocol, c.protocol);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.reason, c.reason);
        EXPECT_EQ(r.headers, c.headers);
        EXPECT_EQ(r.body, c.body);
    }
}

TEST(ResponseParse, NothingUsableLeavesResponseUnchanged)
{
    Response empty;
    empty.parseText("");
    expectUnchanged(empty);
}
