#include "message/MessagePieces.h"
#include "message/BufferStream.h"
#include "message/Request.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

using http::BufferStream;
using http::Request;
using namespace std::string_literals;
using Map = std::map<std::string, std::string>;
using Headers = http::HeaderMap;

namespace {

struct Expected {
    int status = 0;
    std::string reason;
    int method = Request::get;
    std::string path;
    std::string query;
    std::string protocol = "HTTP/1.1";
    Headers headers;
    Map params;
    std::string body;
};

struct Case {
    std::string name;
    std::string input;
    Expected expected;
};

void expectFields(const Request& r, const Expected& e, const std::string& where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(r.status, e.status);
    EXPECT_EQ(r.reason, e.reason);
    if (e.status == 0 || e.status == 400) {
        EXPECT_EQ(r.method, e.method);
        EXPECT_EQ(r.path, e.path);
        EXPECT_EQ(r.query, e.query);
    }
    EXPECT_EQ(r.protocol, e.protocol);
    EXPECT_EQ(r.headers, e.headers);
    EXPECT_EQ(r.params, e.params);
    EXPECT_EQ(r.body, e.body);
}

Expected parsed(int method, std::string path, std::string query, std::string protocol, Headers headers = {},
                Map params = {}, std::string body = {})
{
    return {0, "", method, std::move(path), std::move(query), std::move(protocol), std::move(headers),
            std::move(params), std::move(body)};
}

Expected failed(int status, std::string reason, std::string path = {}, std::string query = {})
{
    return {status, std::move(reason), Request::get, std::move(path), std::move(query), "HTTP/1.1", {}, {}, {}};
}

const Expected badRequest = failed(400, "Bad Request");
const Expected notImplemented = failed(501, "Method not implemented");

std::vector<Case> parserCases()
{
    return {
        {"decodesPathNotQuery", "GET /a%20b?x=%41&y=1+2 HTTP/1.1\r\n\r\n",
         parsed(Request::get, "/a b", "x=%41&y=1+2", "HTTP/1.1", {}, {{"x", "A"}, {"y", "1+2"}})},
        {"firstQueryValueWins", "GET /x?a=1&a=2 HTTP/1.0\r\n\r\n",
         parsed(Request::get, "/x", "a=1&a=2", "HTTP/1.0", {}, {{"a", "1"}})},
        {"paramPartsOddities", "GET /x?&&%61=%20v&b=&novalue&=e HTTP/1.1\r\n\r\n",
         parsed(Request::get, "/x", "&&%61=%20v&b=&novalue&=e", "HTTP/1.1", {},
                {{"a", " v"}, {"b", ""}, {"", "e"}})},
        {"extraWordsJoinProtocol", "GET /x HTTP/1.1 extra\r\n\r\n",
         parsed(Request::get, "/x", "", "HTTP/1.1 extra")},
        {"headerLines",
         "GET / HTTP/1.1\r\nHost:myhost\r\nHost :x\r\nAccept:   text/html \r\nNoColon\r\nX: a:b\r\nHost: second\r\n\r\n",
         parsed(Request::get, "/", "", "HTTP/1.1",
                {{"Host", "myhost"}, {"Host ", "x"}, {"Accept", "text/html "}, {"X", "a:b"}})},
        {"headerNamesInAnyCase", "GET / HTTP/1.1\r\nhost: a\r\nHOST: b\r\n\r\n",
         parsed(Request::get, "/", "", "HTTP/1.1", {{"host", "a"}})},
        {"unendedHeaderLineIgnored", "GET / HTTP/1.1\r\nA: 1\r\nB: 2",
         parsed(Request::get, "/", "", "HTTP/1.1", {{"A", "1"}})},
        {"getBodyConsumedNotRead", "GET /g HTTP/1.1\r\nContent-Length: 3\r\n\r\na=1",
         parsed(Request::get, "/g", "", "HTTP/1.1", {{"Content-Length", "3"}})},
        {"postBodyBeforeQuery", "POST /p?a=1&q=2 HTTP/1.1\r\nContent-Length: 7\r\n\r\na=3&b=4",
         parsed(Request::post, "/p", "a=1&q=2", "HTTP/1.1", {{"Content-Length", "7"}},
                {{"a", "3"}, {"b", "4"}, {"q", "2"}}, "a=3&b=4")},
        {"postBodyCutAtLength", "POST /p HTTP/1.1\r\nContent-Length: 3\r\n\r\na=12345",
         parsed(Request::post, "/p", "", "HTTP/1.1", {{"Content-Length", "3"}}, {{"a", "1"}}, "a=1")},
        {"postBodyDecoded", "POST / HTTP/1.1\r\nContent-Length: 25\r\n\r\nn%61me=%41+ %42&v=  %20x ",
         parsed(Request::post, "/", "", "HTTP/1.1", {{"Content-Length", "25"}}, {{"name", "A+ B"}, {"v", " x "}},
                "n%61me=%41+ %42&v=  %20x ")},
        {"postWithoutLength", "POST /p?q=1 HTTP/1.1\r\n\r\na=3",
         parsed(Request::post, "/p", "q=1", "HTTP/1.1", {}, {{"q", "1"}})},
        {"postLengthNameInAnyCase", "POST / HTTP/1.1\r\ncontent-length: 3\r\n\r\na=3",
         parsed(Request::post, "/", "", "HTTP/1.1", {{"content-length", "3"}}, {{"a", "3"}}, "a=3")},
        {"postShortBodyNeverRuns", "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\na=1",
         {-1, "", Request::post, "/", "", "HTTP/1.1", {{"Content-Length", "10"}}, {}, ""}},
        {"headCutWithLengthNeverRuns", "POST / HTTP/1.1\r\nContent-Length: 1\r\n",
         {-1, "", Request::post, "/", "", "HTTP/1.1", {{"Content-Length", "1"}}, {}, ""}},
        {"textEndsAtZeroByteInHeaders", "GET /a?x=1 HTTP/1.1\r\nHost: h\0Evil: 1\r\n\r\n"s,
         parsed(Request::get, "/a", "x=1", "HTTP/1.1", {}, {{"x", "1"}})},
        {"textEndsAtZeroByteInBody", "POST / HTTP/1.1\r\nContent-Length: 7\r\n\r\na=1\0b=2"s,
         parsed(Request::post, "/", "", "HTTP/1.1", {{"Content-Length", "7"}}, {{"a", "1"}}, "a=1")},
        {"zeroByteInRequestLine", "GET /a\0b HTTP/1.1\r\n\r\n"s, badRequest},
        {"noLineEnd", "GET / HTTP/1.1", badRequest},
        {"targetWithoutSlash", "GET index.html HTTP/1.1\r\n\r\n", badRequest},
        {"emptyTarget", "GET  HTTP/1.1\r\n\r\n", badRequest},
        {"targetMissing", "GET \r\n\r\n", badRequest},
        {"queryEndsLine", "GET /x?y\r\n\r\n", failed(400, "Bad Request", "/x", "y")},
        {"noSpaceInLine", "GET\r\n\r\n", notImplemented},
        {"headMethod", "HEAD / HTTP/1.1\r\n\r\n", notImplemented},
        {"smallLetterMethod", "get / HTTP/1.1\r\n\r\n", notImplemented},
        {"putMethod", "PUT / HTTP/1.1\r\nContent-Length: 1\r\n\r\nx", notImplemented},
    };
}

std::string textPart(const std::string& input)
{
    return input.substr(0, input.find('\0'));
}

} // namespace

TEST(RequestParse, TextWholeStreamAndRandomPiecesAgree)
{
    for (const Case& c : parserCases()) {
        Request fromText;
        fromText.parseText(c.input);
        expectFields(fromText, c.expected, c.name + " (text)");

        BufferStream whole({c.input});
        Request fromStream;
        fromStream.parse(whole);
        expectFields(fromStream, c.expected, c.name + " (whole)");
        EXPECT_EQ(fromStream.socket, &whole);
        // The head holds the request's own text; what follows it stays on the stream.
        std::string own = textPart(c.input.substr(0, c.input.size() - whole.unreadInput().size()));
        // A refused request's head stops where reading stopped.
        if (c.expected.status == 0)
            EXPECT_EQ(fromStream.head, own) << c.name;
        else
            EXPECT_TRUE(own.starts_with(fromStream.head)) << c.name;
        EXPECT_EQ(fromText.head, fromStream.head) << c.name;

        // The same request arriving in pieces of any size parses the same.
        for (unsigned seed = 1; seed <= 30; ++seed) {
            std::mt19937 rng(seed);
            BufferStream pieces(http::test::randomPieces(c.input, rng, 1 + seed % 9));
            Request fromPieces;
            fromPieces.parse(pieces);
            expectFields(fromPieces, c.expected, c.name + " (pieces, seed " + std::to_string(seed) + ")");
        }
    }
}

TEST(RequestParse, NothingReceivedIsInternalServerError)
{
    BufferStream closed;
    Request request;
    request.authorizedSession = "old";
    request.parse(closed);
    EXPECT_EQ(request.status, 500);
    EXPECT_EQ(request.reason, "Internal Server Error");
    EXPECT_EQ(request.authorizedSession, "");
    EXPECT_EQ(closed.receiveCount(), 1);

    Request fromText;
    fromText.parseText("");
    EXPECT_EQ(fromText.status, 500);
    EXPECT_EQ(fromText.reason, "Internal Server Error");
}

TEST(RequestParse, ProtocolKeepsPreviousTextWhenLineHasNone)
{
    BufferStream stream({"GET /a HTTP/1.0\r\n\r\n", "GET /b?\r\n\r\n", "GET /c\r\n\r\n"});
    Request request;
    request.parse(stream);
    EXPECT_EQ(request.protocol, "HTTP/1.0");
    request.parse(stream);
    EXPECT_EQ(request.status, 400);  // a query must be followed by a space
    request.parse(stream);
    EXPECT_EQ(request.status, 0);
    EXPECT_EQ(request.path, "/c");
    EXPECT_EQ(request.protocol, "HTTP/1.0");
}

TEST(RequestParse, SecondRequestOnConnectionStartsAfresh)
{
    BufferStream stream({"POST /a?x=1 HTTP/1.1\r\nContent-Length: 3\r\nCookie: c\r\n\r\n", "y=2",
                         "GET /b HTTP/1.1\r\nHost: h\r\n\r\n"});
    Request request;
    request.parse(stream);
    ASSERT_EQ(request.status, 0);
    EXPECT_EQ(request.params, (Map{{"x", "1"}, {"y", "2"}}));
    request.authorizedSession = "s1";

    request.parse(stream);
    ASSERT_EQ(request.status, 0);
    EXPECT_EQ(request.method, Request::get);
    EXPECT_EQ(request.path, "/b");
    EXPECT_EQ(request.query, "");
    EXPECT_TRUE(request.params.empty());
    EXPECT_EQ(request.headers, (Headers{{"Host", "h"}}));
    EXPECT_EQ(request.body, "");
    EXPECT_EQ(request.authorizedSession, "");
    EXPECT_EQ(request.head, "GET /b HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(RequestParse, LimitsAtTheirEdges)
{
    // Header lines of `width` bytes in all, as many as fill `total` bytes of head.
    auto headOf = [](std::size_t total, std::size_t width) {
        std::string head = "GET /a HTTP/1.1\r\n";
        for (int i = 0; head.size() + 2 < total; ++i) {
            std::size_t room = total - 2 - head.size();
            // The last line takes what is left, and is never too short for its name.
            std::size_t line = room <= width ? room : room - width < 16 ? room - 16 : width;
            std::string name = "X" + std::to_string(i) + ": ";
            head += name + std::string(line - name.size() - 2, 'h') + "\r\n";
        }
        return head + "\r\n";
    };
    auto lines = [](std::size_t count) {
        std::string text = "GET /a HTTP/1.1\r\n";
        for (std::size_t i = 0; i < count; ++i)
            text += "H" + std::to_string(i) + ": 1\r\n";
        return text + "\r\n";
    };
    const std::string line8192 = "GET /" + std::string(Request::requestLineLimit - 14, 'p') + " HTTP/1.1";
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    const Case cases[] = {
        {"longest request line", line8192 + "\r\n\r\n", 0},
        {"request line too long", "GET /p" + line8192.substr(5) + "\r\n\r\n", 414},
        {"request line never ending", "GET /" + std::string(9000, 'p'), 414},
        {"most header lines", lines(Request::headerCountLimit), 0},
        {"too many header lines", lines(Request::headerCountLimit + 1), 431},
        {"longest header line", "GET / HTTP/1.1\r\nX: " + std::string(Request::headerLineLimit - 3, 'x') + "\r\n\r\n", 0},
        {"header line too long", "GET / HTTP/1.1\r\nX: " + std::string(Request::headerLineLimit - 2, 'x') + "\r\n\r\n", 431},
        {"largest head", headOf(Request::headLimit, 8000), 0},
        {"head too large", headOf(Request::headLimit + 1, 8000), 431},
        {"head never ending", headOf(Request::headLimit + 100, 8000).substr(0, Request::headLimit + 50), 431},
        {"largest body", "POST / HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + std::string(Request::bodyLimit, 'b'), 0},
        {"body too large", "POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n", 413},
        {"chunked", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n", 501},
        {"any transfer coding", "GET / HTTP/1.1\r\ntransfer-encoding: gzip\r\n\r\n", 501},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 1\r\nContent-length: 2\r\n\r\nab", 400},
        {"one length twice", "POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-length: 2\r\n\r\nab", 0},
        {"one length twice, blanks around one", "POST / HTTP/1.1\r\nContent-Length: 2\r\nContent-length:\t2 \r\n\r\nab", 0},
        {"length not a number", "POST / HTTP/1.1\r\nContent-Length: abc\r\n\r\na=3", 400},
        {"empty length", "POST / HTTP/1.1\r\nContent-Length: \r\n\r\na=3", 400},
        {"negative length", "POST / HTTP/1.1\r\nContent-Length: -5\r\n\r\na=3", 400},
        {"length with a plus sign", "POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\na=3", 400},
        {"length with text after it", "POST / HTTP/1.1\r\nContent-Length: 3abc\r\n\r\na=3", 400},
        {"length listed twice in one line", "POST / HTTP/1.1\r\nContent-Length: 3, 3\r\n\r\na=3", 400},
        {"blank before a length's colon", "POST / HTTP/1.1\r\nContent-Length : 3\r\n\r\na=3", 400},
        {"tab before a transfer coding's colon", "POST / HTTP/1.1\r\nTransfer-Encoding\t: chunked\r\n\r\n", 400},
        {"blank before another header's colon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", 0},
    };
    for (const Case& c : cases) {
        for (std::size_t longest : {c.request.size(), std::size_t(997)}) {
            BufferStream stream(http::test::randomPieces(c.request, 5, longest));
            Request request;
            request.parse(stream);
            EXPECT_EQ(request.status, c.status) << c.name << " in pieces of up to " << longest;
        }
    }
    ASSERT_EQ(headOf(Request::headLimit, 8000).size(), Request::headLimit);
}

TEST(RequestParse, PipelinedRequestsAreReadOneAfterAnother)
{
    // All in one piece, as a client sends them without waiting: each parse
    // takes exactly its own request, bodies included, and leaves the rest.
    std::string all;
    std::vector<std::string> paths;
    for (int i = 1; i <= 6; ++i) {
        std::string body = i % 2 ? "" : "GET /inside HTTP/1.1\r\n\r\n";
        all += (i % 3 ? "GET" : "POST") + std::string(" /r") + std::to_string(i) + " HTTP/1.1\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body;
        paths.push_back("/r" + std::to_string(i));
    }
    for (std::size_t longest : {all.size(), std::size_t(7)}) {
        BufferStream stream(http::test::randomPieces(all, 3, longest));
        Request request;
        for (const std::string& path : paths) {
            request.parse(stream);
            ASSERT_EQ(request.status, 0) << path;
            EXPECT_EQ(request.path, path);
        }
        request.parse(stream);
        EXPECT_EQ(request.status, 500);  // nothing more: the peer closed
    }
}

TEST(RequestParse, LongBodyIsReadWholeAndNoFurther)
{
    const std::string head = "POST /up HTTP/1.1\r\nContent-Length: 100000\r\n\r\n";
    std::string body = "a=" + std::string(100000 - 2, 'z');
    BufferStream stream({head + body.substr(0, 9), body.substr(9, 30000), body.substr(30009) + "GET /next HTTP/1.1\r\n\r\n"});
    Request request;
    request.parse(stream);
    ASSERT_EQ(request.status, 0);
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.params.at("a").size(), body.size() - 2);
    request.parse(stream);
    EXPECT_EQ(request.path, "/next");
}

TEST(RequestParse, PostBodyInLaterPiecesIsReadWholeAndNoFurther)
{
    std::string body = "name=" + std::string(39000, 'n') + "&x=%41";
    const std::string request = "POST /form?x=q&y=1 HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                                "\r\n\r\n" + body;
    const std::string next = "GET /after HTTP/1.1\r\n\r\n";
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        // The head alone first, then the body (and the next request) in pieces.
        std::size_t headSize = request.size() - body.size();
        std::vector<std::string> chunks{request.substr(0, headSize)};
        for (auto& piece : http::test::randomPieces(body, rng, seed * 700))
            chunks.push_back(piece);
        chunks.push_back(next);
        BufferStream stream(std::move(chunks));
        Request r;
        r.parse(stream);
        ASSERT_EQ(r.status, 0) << seed;
        EXPECT_EQ(r.body, body);
        EXPECT_EQ(r.head, request);
        EXPECT_EQ(r.params, (Map{{"name", std::string(39000, 'n')}, {"x", "A"}, {"y", "1"}}));
        r.parse(stream);
        EXPECT_EQ(r.path, "/after") << seed;
    }
}

TEST(RequestParse, ReceiveErrorEndsParseWithoutAnswer)
{
    auto check = [](std::vector<std::string> chunks, const std::string& where) {
        SCOPED_TRACE(where);
        BufferStream stream(chunks);
        stream.addReceiveError();
        stream.addInput("GET /never HTTP/1.1\r\n\r\n");
        Request request;
        request.parse(stream);
        EXPECT_EQ(request.status, -1);
        EXPECT_EQ(request.reason, "");  // nobody is answered
        ASSERT_FALSE(stream.deadlines().empty());
        EXPECT_EQ(stream.deadlines().back(), std::nullopt);
    };
    check({}, "before the first byte");
    check({"GET / HT"}, "inside the head");
    check({"POST / HTTP/1.1\r\nContent-Length: 9\r\n\r\nab", "cd"}, "inside the body");
}

TEST(RequestParse, IdlePeerIsCutOffBeforeItsFirstByte)
{
    http::ReceiveLimits limits{std::chrono::seconds(900), std::chrono::seconds(30)};
    auto parseAfterSilence = [&](std::chrono::seconds silence) {
        BufferStream stream;
        stream.addSilence(silence);
        stream.addInput("GET /late HTTP/1.1\r\n\r\n");
        Request request;
        request.parse(stream, limits);
        return request.status;
    };
    EXPECT_EQ(parseAfterSilence(std::chrono::seconds(899)), 0);
    EXPECT_EQ(parseAfterSilence(std::chrono::seconds(901)), -1);
}

TEST(RequestParse, SlowPeerIsCutOffOnceRequestStarted)
{
    using std::chrono::seconds;
    http::ReceiveLimits limits{seconds(5), seconds(30)};
    // One byte every `gap`: the request limit counts from the first byte and
    // is not renewed by later ones; the idle limit no longer applies.
    auto trickle = [&](const std::string& text, seconds gap) {
        BufferStream stream;
        for (char c : text) {
            stream.addInput(std::string(1, c));
            stream.addSilence(gap);
        }
        Request request;
        request.parse(stream, limits);
        return std::pair{request.status, stream.deadlines()};
    };
    auto [fast, fastDeadlines] = trickle("GET / HTTP/1.1\r\n\r\n", seconds(1));
    EXPECT_EQ(fast, 0);  // 17 s of gaps after the first byte
    ASSERT_EQ(fastDeadlines.size(), 3u);
    EXPECT_EQ(fastDeadlines.back(), std::nullopt);

    auto [slow, slowDeadlines] = trickle("GET / HTTP/1.1\r\n\r\n", seconds(2));  // 36 s in all
    EXPECT_EQ(slow, -1);
    ASSERT_EQ(slowDeadlines.size(), 3u);
    // Idle limit first, the request limit from the first byte, cleared at the end.
    ASSERT_TRUE(slowDeadlines[0] && slowDeadlines[1]);
    EXPECT_NEAR(std::chrono::duration<double>(*slowDeadlines[0]).count(), 5.0, 0.5);
    EXPECT_NEAR(std::chrono::duration<double>(*slowDeadlines[1]).count(), 30.0, 0.5);
    EXPECT_EQ(slowDeadlines[2], std::nullopt);

    BufferStream gapAfterFirstByte;  // longer than idle, shorter than request
    gapAfterFirstByte.addInput("G");
    gapAfterFirstByte.addSilence(seconds(20));
    gapAfterFirstByte.addInput("ET / HTTP/1.1\r\n\r\n");
    Request request;
    request.parse(gapAfterFirstByte, limits);
    EXPECT_EQ(request.status, 0);
}

TEST(RequestParse, SlowBodyIsCutOffByRequestLimit)
{
    using std::chrono::seconds;
    http::ReceiveLimits limits{seconds(5), seconds(30)};
    BufferStream stream({"POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\na="});
    stream.addSilence(seconds(31));
    stream.addInput("bc");
    Request request;
    request.parse(stream, limits);
    EXPECT_EQ(request.status, -1);
    EXPECT_EQ(stream.deadlines().back(), std::nullopt);
}
