// The request reader over real sockets: framing on a kept-alive connection.
#include "http/RequestThread.h"
#include "message/Response.h"
#include "http/Server.h"
#include "http/support/RawClient.h"
#include "support/WaitUntil.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testing_support::RawClient;

namespace {

class RecordingServer;

/// Answers with the path and the body length, and lists every path it ran.
class RecordingConnection final : public http::RequestThread {
public:
    RecordingConnection(platform::UniqueFd socket, RecordingServer& owner);

private:
    void handle(http::Response& response) override;
    RecordingServer& owner;
};

class RecordingServer final : public http::Server {
public:
    RecordingServer() : Server(platform::loopbackAddress(), 0) {}

    bool acceptConnection(platform::UniqueFd socket) override
    {
        return startConnection(std::make_unique<RecordingConnection>(std::move(socket), *this));
    }

    void record(const std::string& path)
    {
        std::lock_guard guard(lock);
        paths.push_back(path);
    }
    std::vector<std::string> ran()
    {
        std::lock_guard guard(lock);
        return paths;
    }

private:
    std::mutex lock;
    std::vector<std::string> paths;
};

RecordingConnection::RecordingConnection(platform::UniqueFd socket, RecordingServer& owner)
    : RequestThread(std::move(socket), owner), owner(owner)
{
}

void RecordingConnection::handle(http::Response& response)
{
    owner.record(request->path);
    response.setBody(request->path + " " + std::to_string(request->body.size()));
    response.send();
}

using testing_support::waitUntil;

class ReaderTest : public ::testing::Test {
protected:
    RecordingServer server;
    std::uint16_t port = 0;

    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(waitUntil([&] { return server.listeningPort() != 0; }));
        port = server.listeningPort();
    }
    void TearDown() override
    {
        server.stop();
        auto handle = server.threadHandle();
        ASSERT_TRUE(handle && handle->waitFor(30s));
    }
};

} // namespace

TEST_F(ReaderTest, PipelinedRequestsGetTheirAnswersInOrder)
{
    RawClient client(port);
    std::string six;
    for (int i = 1; i <= 6; ++i)
        six += "GET /p" + std::to_string(i) + " HTTP/1.1\r\nCookie: x=1\r\n\r\n";
    ASSERT_TRUE(client.send(six));  // one send: the requests arrive together
    for (int i = 1; i <= 6; ++i) {
        RawClient::Answer answer = client.readAnswer();
        ASSERT_EQ(answer.status, 200) << i;
        EXPECT_EQ(answer.body, "/p" + std::to_string(i) + " 0");
    }
}

TEST_F(ReaderTest, EveryPipelinedRequestIsAnsweredWhateverItsSize)
{
    // Many times what one read takes, with reads ending exactly at a
    // request's end and inside one.
    for (std::size_t size : {1024u, 1000u, 333u}) {
        RawClient client(port);
        std::string all;
        const int count = 60;
        for (int i = 0; i < count; ++i) {
            std::string request = "GET /p" + std::to_string(i) + " HTTP/1.1\r\nX-Pad: ";
            request.append(size - request.size() - 4, 'a');
            all += request + "\r\n\r\n";
        }
        ASSERT_TRUE(client.send(all));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(client.readAnswer().body, "/p" + std::to_string(i) + " 0") << size;
    }
}

TEST_F(ReaderTest, AnUnreadBodyIsNotTakenForTheNextRequest)
{
    // The route reads no body; what the lower-case "content-length" announces
    // is skipped all the same, even when it looks like a request.
    const std::string hidden = "GET /smuggled HTTP/1.1\r\n\r\n";
    RawClient client(port);
    ASSERT_TRUE(client.send("POST /a HTTP/1.1\r\ncontent-length: " + std::to_string(hidden.size()) + "\r\n\r\n"
                            + hidden + "GET /b HTTP/1.1\r\nContent-Length: 3\r\n\r\nxyzGET /c HTTP/1.1\r\n\r\n"));
    for (const char* expected : {"/a 26", "/b 0", "/c 0"})
        EXPECT_EQ(client.readAnswer().body, expected);
    EXPECT_EQ(server.ran(), (std::vector<std::string>{"/a", "/b", "/c"}));
}

TEST_F(ReaderTest, ARequestWhoseBodyNeverArrivedIsNotRun)
{
    {
        RawClient client(port);
        ASSERT_TRUE(client.send("POST /truncated HTTP/1.1\r\nContent-Length: 1000\r\n\r\nabc"));
    }  // and gone
    RawClient later(port);
    ASSERT_TRUE(later.send("GET /later HTTP/1.1\r\nConnection: close\r\n\r\n"));
    EXPECT_EQ(later.readAnswer().body, "/later 0");
    ASSERT_TRUE(waitUntil([&] { return server.connectionCount() == 0; }));
    EXPECT_EQ(server.ran(), std::vector<std::string>{"/later"});
}

TEST_F(ReaderTest, LimitsAreAnsweredAndEndTheConnection)
{
    struct Case {
        const char* name;
        std::string request;
        int status;
    };
    auto lines = [](int count, std::size_t width) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "X-" + std::to_string(i) + ": " + std::string(width, 'v') + "\r\n";
        return text;
    };
    const Case cases[] = {
        {"request line", "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\n\r\n", 414},
        {"header count", "GET / HTTP/1.1\r\n" + lines(101, 1) + "\r\n", 431},
        {"one header line", "GET / HTTP/1.1\r\nX: " + std::string(9000, 'b') + "\r\n\r\n", 431},
        {"whole head", "GET / HTTP/1.1\r\n" + lines(6, 7000) + "\r\n", 431},
        {"body", "POST / HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n", 413},
        {"chunked body", "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", 501},
        {"two lengths", "POST / HTTP/1.1\r\nContent-Length: 3\r\ncontent-length: 4\r\n\r\nabcd", 400},
    };
    for (const Case& c : cases) {
        RawClient client(port);
        ASSERT_TRUE(client.send(c.request + "GET /next HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(client.readAnswer().status, c.status) << c.name;
        std::string rest;
        EXPECT_NE(client.waitForEnd(rest), RawClient::End::stillOpen) << c.name;
        EXPECT_EQ(rest, "") << c.name;
    }
    EXPECT_EQ(server.ran(), std::vector<std::string>{});
}
