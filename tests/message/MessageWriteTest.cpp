#include "message/BufferStream.h"
#include "message/Request.h"
#include "message/Response.h"

#include <gtest/gtest.h>


using http::BufferStream;
using http::Request;
using http::Response;

TEST(ResponseWrite, DefaultsAndHeadLayout)
{
    Response fresh;
    EXPECT_EQ(fresh.headText(), "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n");

    Response response;
    response.status = 401;
    response.reason = "Unauthorized";
    response.headers["WWW-Authenticate"] = "Basic realm=\"R\"";
    response.addLine("WWW-Authenticate", "Digest realm=\"R\"");
    response.addLine("X-Alone", "written last");
    response.headers["Set-Cookie"] = "Tunelet=abc";
    response.headers["P3P"] = "CP=\"NON\"";
    response.headers["Connection"] = "close";
    response.headers["content-x"] = "small letters sort last";
    response.setBody("hello");
    EXPECT_EQ(response.headText(),
              "HTTP/1.1 401 Unauthorized\r\n"
              "Connection: close\r\n"
              "Content-Length: 5\r\n"
              "Content-Type: text/html\r\n"
              "P3P: CP=\"NON\"\r\n"
              "Set-Cookie: Tunelet=abc\r\n"
              "WWW-Authenticate: Basic realm=\"R\"\r\nWWW-Authenticate: Digest realm=\"R\"\r\n"
              "content-x: small letters sort last\r\n"
              "X-Alone: written last\r\n"
              "\r\n");

    // No line break or zero byte set anywhere reaches the head.
    Response injected;
    injected.reason = "OK\r\nX-Evil: 1";
    injected.headers["Content-Disposition"] = "inline; filename=\"a\r\nX-Evil: 2\"";
    injected.headers["X\nEvil"] = "3";
    injected.addLine("Set-Cookie", std::string("a=b\0\rX-Evil: 4", 14));
    EXPECT_EQ(injected.headText(),
              "HTTP/1.1 200 OKX-Evil: 1\r\n"
              "Content-Disposition: inline; filename=\"aX-Evil: 2\"\r\n"
              "Content-Type: text/html\r\n"
              "XEvil: 3\r\n"
              "Set-Cookie: a=bX-Evil: 4\r\n"
              "\r\n");

    response.setBody("");
    EXPECT_EQ(response.headers.at("Content-Length"), "0");
}

TEST(ResponseWrite, SendHeadAndSendPutExactBytesInOneWrite)
{
    BufferStream stream;
    Response head(&stream);
    head.status = 304;
    head.reason = "Not Modified";
    const std::string expectedHead = "HTTP/1.1 304 Not Modified\r\nContent-Type: text/html\r\n\r\n";
    EXPECT_EQ(head.sendHead(), long(expectedHead.size()));
    EXPECT_EQ(stream.writes(), std::vector<std::string>{expectedHead});

    BufferStream other;
    Response full(&other);
    full.setBody("<p>ok</p>");
    const std::string expected = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\nContent-Type: text/html\r\n\r\n<p>ok</p>";
    EXPECT_EQ(full.send(), long(expected.size()));
    // Head and body leave in a single gathered write.
    EXPECT_EQ(other.writes(), std::vector<std::string>{expected});
}

TEST(ResponseWrite, SendCountsOnlyWhatWentOut)
{
    Response response;
    response.setBody("0123456789");
    const long headSize = long(response.headText().size());
    auto sendWithLimit = [&](std::size_t limit) {
        BufferStream stream;
        stream.breakAfter(limit);
        response.socket = &stream;
        return std::pair{response.send(), stream.sent()};
    };
    EXPECT_EQ(sendWithLimit(1000).first, headSize + 10);
    auto [headOnly, sentHead] = sendWithLimit(std::size_t(headSize) + 3);
    EXPECT_EQ(headOnly, headSize);  // the body's count is left out when it fails
    EXPECT_EQ(sentHead, response.headText());
    EXPECT_EQ(sendWithLimit(std::size_t(headSize) - 1).first, 0);

    BufferStream broken;
    broken.breakAfter(0);
    response.socket = &broken;
    EXPECT_EQ(response.sendHead(), 0);
    response.socket = nullptr;
    EXPECT_EQ(response.send(), 0);
    EXPECT_EQ(response.sendHead(), 0);
}

TEST(RequestWrite, ClientRequestLayout)
{
    BufferStream stream;
    Request get;
    get.socket = &stream;
    get.path = "/stream";
    get.headers = {{"Host", "peer:8080"}, {"Connection", "close"}};
    const std::string head = "GET /stream? HTTP/1.1\r\nConnection: close\r\nHost: peer:8080\r\n\r\n";
    EXPECT_EQ(get.send(), long(head.size()));
    EXPECT_EQ(stream.writes(), std::vector<std::string>{head});

    BufferStream postStream;
    Request post;
    post.socket = &postStream;
    post.method = 1;  // anything but GET is written as POST
    post.path = "/p";
    post.query = "a=1";
    post.protocol = "HTTP/1.0";
    post.body = "x=2";
    const std::string postHead = "POST /p?a=1 HTTP/1.0\r\n\r\n";
    EXPECT_EQ(post.send(), long(postHead.size() + 3));
    EXPECT_EQ(postStream.writes(), (std::vector<std::string>{postHead, "x=2"}));

    BufferStream bodyFails;
    bodyFails.breakAfter(postHead.size() + 1);
    post.socket = &bodyFails;
    EXPECT_EQ(post.send(), long(postHead.size()));

    BufferStream headFails;
    headFails.breakAfter(2);
    post.socket = &headFails;
    EXPECT_EQ(post.send(), 0);
    EXPECT_TRUE(headFails.writes().empty());
}

TEST(DumpHtml, ExactMarkup)
{
    Request request;
    request.parseText("POST /info?q=1 HTTP/1.1\r\nHost: h\r\nContent-Length: 3\r\n\r\nb=2");
    ASSERT_EQ(request.status, 0);
    std::string out = "before|";
    request.dumpHtml(out);
    const std::string row = "<tr bgcolor=\"eeeeee\"><td valign=\"top\"><b>";
    const std::string cell = "</b></td><td valign=\"top\">";
    EXPECT_EQ(out,
              "before|<table border=\"0\" cellspacing=\"2\">\r\n" +
              row + "Request:" + cell + "<pre>" + request.head + "</pre></td></tr>" +
              row + "Request URI:" + cell + "<pre>/info</pre></td></tr>" +
              row + "Protocol:" + cell + "<pre>HTTP/1.1</pre></td></tr>" +
              row + "Headers:" + cell + "<table border=\"0\">" +
              "<tr><td valign=\"top\"><i>Content-Length:</i></td><td valign=\"top\">3</td>" +
              "<tr><td valign=\"top\"><i>Host:</i></td><td valign=\"top\">h</td>" +
              "</table></td></tr>" +
              row + "Params:" + cell + "<table border=\"0\">" +
              "<tr><td valign=\"top\"><i>b:</i></td><td valign=\"top\">2</td>" +
              "<tr><td valign=\"top\"><i>q:</i></td><td valign=\"top\">1</td>" +
              "</table></td></tr>" +
              row + "Data:" + cell + "<pre>b=2</pre></td></tr>" +
              "</table>");
}

TEST(DumpHtml, EscapesEveryInsertedText)
{
    Request request;
    request.parseText("POST /%3Cq%3E?x=<script> HTTP/1.1\"&\r\nX<h>: a\"b&c<d>\r\nContent-Length: 11\r\n\r\n"
                      "%3Cy%3E=<z>");
    ASSERT_EQ(request.status, 0);
    ASSERT_EQ(request.params.at("x"), "<script>");
    std::string html;
    request.dumpHtml(html);

    for (const char* raw : {"<script>", "<q>", "<h>", "<d>", "<y>", "<z>", "\"&", "a\"b"})
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    for (const char* escaped : {"<pre>POST /%3Cq%3E?x=&lt;script&gt; HTTP/1.1&quot;&amp;\r\n",
                                "<pre>/&lt;q&gt;</pre>", "<pre>HTTP/1.1&quot;&amp;</pre>",
                                "<i>X&lt;h&gt;:</i>", ">a&quot;b&amp;c&lt;d&gt;</td>",
                                "<i>&lt;y&gt;:</i></td><td valign=\"top\">&lt;z&gt;</td>",
                                "<pre>%3Cy%3E=&lt;z&gt;</pre>"})
        EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
}
