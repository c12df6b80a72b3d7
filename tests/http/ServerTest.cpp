// The listener and its connections over real sockets on 127.0.0.1.
#include "http/Admission.h"
#include "http/FileResponse.h"
#include "http/RequestThread.h"
#include "message/Response.h"
#include "http/Server.h"
#include "http/StateStore.h"
#include "http/support/LoopbackServer.h"
#include "http/support/RawClient.h"
#include "platform/PlayerMessages.h"
#include "platform/Socket.h"
#include "platform/Window.h"
#include "threading/Callback.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testing_support::RawClient;
using testing_support::waitUntil;

namespace {

constexpr std::size_t bigBodySize = 32 << 20;
/// The file "/file" downloads.
std::string downloadPath;
/// "/hold" waits for this gate; `holding` counts those waiting.
platform::Event holdGate;
std::atomic<int> holding{0};

/// The window "/later/N" asks, and how many have asked.
std::atomic<platform::HWND> laterWindow{nullptr};
std::atomic<int> laterAsked{0};
constexpr platform::UINT MSG_TIMES_TEN = platform::WM_USER + 1;  // answers wParam * 10
constexpr platform::UINT MSG_HOLD = platform::WM_USER + 2;       // waits for `holdGate`
constexpr platform::UINT MSG_RUN = platform::WM_USER + 3;        // runs the function wParam points to
constexpr platform::UINT MSG_QUIT = platform::WM_USER + 4;

/// A thread that owns `laterWindow` and runs its message loop, as the player.
class PlayerThread {
public:
    PlayerThread()
    {
        platform::Event created;
        thread = std::thread([&] {
            laterWindow = platform::createWindow(proc);
            created.set();
            platform::runMessageLoop();
        });
        created.wait();
    }
    ~PlayerThread()
    {
        platform::postMessage(laterWindow, MSG_QUIT);
        thread.join();
        platform::destroyWindow(laterWindow.exchange(nullptr));
    }

private:
    static platform::LRESULT proc(platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM)
    {
        if (message == MSG_HOLD) {
            ++holding;
            holdGate.wait();
        } else if (message == MSG_RUN) {
            (*reinterpret_cast<std::function<void()>*>(wParam))();
        } else if (message == MSG_QUIT) {
            platform::postQuitMessage(0);
        }
        return message == MSG_TIMES_TEN ? static_cast<platform::LRESULT>(wParam) * 10 : 0;
    }
    std::thread thread;
};

/// Answers "<path> #<n>", n counting the requests handled on this connection.
/// "/twosends" writes head and body in two separate sends; "/big" answers
/// `bigBodySize` bytes; "/later/N" answers "N:<N * 10>" once the player
/// thread has answered; "/file" downloads `downloadPath`.
class EchoConnection final : public http::RequestThread {
public:
    using RequestThread::RequestThread;

private:
    int served = 0;

    void handle(http::Response& response) override
    {
        if (request->path.starts_with("/later/")) {
            ++laterAsked;
            const std::string n = request->path.substr(7);
            answerLater({laterWindow.load(), MSG_TIMES_TEN, std::stoul(n), 0},
                        [n](platform::LRESULT result, http::Response& answer) {
                            answer.setBody(n + ":" + std::to_string(result));
                            answer.send();
                        });
            return;
        }
        std::string text = request->path + " #" + std::to_string(++served);
        if (request->path == "/file") {
            platform::UniqueFd file(::open(downloadPath.c_str(), O_RDONLY | O_CLOEXEC));
            struct stat status {};
            ::fstat(file.get(), &status);
            http::sendOpenFile(response, *request, file.get(), static_cast<std::uint64_t>(status.st_size), "file");
            return;
        }
        if (request->path == "/nodelay") {
            int on = 0;
            socklen_t size = sizeof on;
            ::getsockopt(stream.descriptor(), IPPROTO_TCP, TCP_NODELAY, &on, &size);
            response.setBody(on ? "on" : "off");
            response.send();
            return;
        }
        if (request->path == "/big")
            text.assign(bigBodySize, 'b');
        if (request->path == "/hold") {
            ++holding;
            holdGate.wait();
        }
        if (request->path == "/twosends") {
            response.headers["Content-Length"] = std::to_string(text.size());
            response.sendHead();
            stream.send(text);
            return;
        }
        response.setBody(text);
        response.send();
    }
};

class EchoServer final : public testing_support::LoopbackServer<EchoConnection> {
public:
    using LoopbackServer::LoopbackServer;

    std::atomic<int> accepted{0};
    /// When set (before start), each accepted peer waits for it first.
    platform::Event* acceptGate = nullptr;

    bool acceptConnection(platform::UniqueFd socket) override
    {
        ++accepted;
        if (acceptGate)
            acceptGate->wait();
        return LoopbackServer::acceptConnection(std::move(socket));
    }
};

/// Copies of every activity list published.
struct ActivityLog {
    std::mutex lock;
    std::vector<http::ActivityList> lists;
    threading::Callback<ActivityLog> callback{this, &ActivityLog::record};

    std::intptr_t record(threading::CallbackArgument argument)
    {
        std::lock_guard guard(lock);
        lists.push_back(*reinterpret_cast<const http::ActivityList*>(argument));
        return 0;
    }
    bool contains(const http::ActivityList& wanted)
    {
        std::lock_guard guard(lock);
        for (const auto& list : lists)
            if (list == wanted)
                return true;
        return false;
    }
    std::size_t count()
    {
        std::lock_guard guard(lock);
        return lists.size();
    }
    http::ActivityList last()
    {
        std::lock_guard guard(lock);
        return lists.empty() ? http::ActivityList{} : lists.back();
    }
};

std::string get(const std::string& target, const std::string& moreHeaders = "")
{
    return "GET " + target + " HTTP/1.1\r\nHost: test\r\n" + moreHeaders + "\r\n";
}

/// A port nobody listens on right now.
std::uint16_t freePort()
{
    platform::UniqueFd probe = platform::listenTcp(platform::loopbackAddress(), 0);
    return platform::boundPort(probe.get());
}

/// The threads of this process.
long threadCount()
{
    using std::filesystem::directory_iterator;
    return std::distance(directory_iterator("/proc/self/task"), directory_iterator());
}

std::string addressOf(const RawClient& client)
{
    return "127.0.0.1:" + std::to_string(client.localPort());
}

class ServerTest : public ::testing::Test {
protected:
    ActivityLog log;
    EchoServer server;
    std::uint16_t port = 0;

    void SetUp() override
    {
        holdGate.reset();
        holding = 0;
        laterAsked = 0;
        server.activity.add(&log.callback);
    }

    void TearDown() override
    {
        server.stop();
        if (auto handle = server.threadHandle(); handle && !handle->waitFor(30s)) {
            // Destroying a server whose thread still runs would only crash later.
            std::cerr << "listener thread did not end\n";
            std::abort();
        }
        server.activity.remove(&log.callback);
    }

    void startServer()
    {
        port = server.startListening();
        ASSERT_NE(port, 0);
    }

    /// Applies changed settings the way the owner does while running.
    void restartOn(std::uint16_t newPort)
    {
        ASSERT_TRUE(server.restart({platform::loopbackAddress(), newPort}));
        ASSERT_TRUE(waitUntil([&] { return server.listeningPort() == newPort; }));
        port = newPort;
    }
};

TEST_F(ServerTest, KeepAliveServesRequestsOnOneConnection)
{
    startServer();
    RawClient client(port);
    ASSERT_TRUE(client.isConnected());
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(client.send(get("/a%20b?x=1")));
        RawClient::Answer answer = client.readAnswer();
        ASSERT_EQ(answer.status, 200) << answer.head;
        EXPECT_EQ(answer.body, "/a b #" + std::to_string(i));
        EXPECT_EQ(answer.header("P3P"), "CP=\"NON NID TAIa OUR NOR NAV INT STA\"");
        EXPECT_FALSE(answer.header("Connection"));
    }
    EXPECT_EQ(server.accepted, 1);
    EXPECT_EQ(server.connectionCount(), 1u);
}

TEST_F(ServerTest, OnlyTheExactWordCloseEndsTheConnection)
{
    startServer();
    {
        RawClient client(port);
        ASSERT_TRUE(client.send(get("/x", "Connection: close\r\n")));
        RawClient::Answer answer = client.readAnswer();
        ASSERT_EQ(answer.status, 200) << answer.head;
        EXPECT_EQ(answer.header("Connection"), "close");
        std::string rest;
        EXPECT_EQ(client.waitForEnd(rest), RawClient::End::closed);
        EXPECT_EQ(rest, "");
    }
    for (const char* value : {"Close", "CLOSE", "keep-alive", "close "}) {
        RawClient client(port);
        ASSERT_TRUE(client.send(get("/x", std::string("Connection: ") + value + "\r\n")));
        RawClient::Answer first = client.readAnswer();
        ASSERT_EQ(first.status, 200) << value;
        EXPECT_FALSE(first.header("Connection")) << value;
        ASSERT_TRUE(client.send(get("/y")));
        EXPECT_EQ(client.readAnswer().body, "/y #2") << value;
    }
}

TEST_F(ServerTest, AnyConditionalRequestGets304AndTheConnectionStays)
{
    startServer();
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/index.html", "If-Modified-Since: not even a date\r\n")));
    RawClient::Answer answer = client.readAnswer();
    EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 304 Not Modified");
    EXPECT_FALSE(answer.header("Content-Length"));
    EXPECT_FALSE(answer.header("Connection"));
    EXPECT_EQ(answer.body, "");
    // An empty value is no condition: the handler answers (its first request).
    ASSERT_TRUE(client.send(get("/page", "If-Modified-Since:\r\n")));
    EXPECT_EQ(client.readAnswer().body, "/page #1");
}

TEST_F(ServerTest, FailedRequestsAreAnsweredWithoutBodyAndClosed)
{
    startServer();
    struct Case {
        const char* sent;  // nullptr: the client closes its side without sending
        const char* statusLine;
        bool connectionClose;
    };
    const Case cases[] = {
        {"GET index.html HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request", false},
        {"GET /x?y\r\n\r\n", "HTTP/1.1 400 Bad Request", false},
        {"HEAD / HTTP/1.1\r\n\r\n", "HTTP/1.1 501 Method not implemented", false},
        {"get / HTTP/1.1\r\n\r\n", "HTTP/1.1 501 Method not implemented", false},
        {nullptr, "HTTP/1.1 500 Internal Server Error", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statusLine);
        RawClient client(port);
        if (c.sent)
            ASSERT_TRUE(client.send(c.sent));
        else
            client.shutdownSending();
        RawClient::Answer answer = client.readAnswer();
        EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), c.statusLine);
        EXPECT_FALSE(answer.header("Content-Length"));
        EXPECT_EQ(answer.header("Connection").has_value(), c.connectionClose);
        EXPECT_TRUE(answer.header("P3P"));
        std::string rest;
        EXPECT_EQ(client.waitForEnd(rest), RawClient::End::closed);
        EXPECT_EQ(rest, "");
    }
    EXPECT_TRUE(waitUntil([&] { return server.connectionCount() == 0; }));
}

TEST_F(ServerTest, AnUnauthorisedRequestIsChallengedAndClosed)
{
    server.setAccess({.requirePassword = true, .username = "u", .password = "p"});
    startServer();
    {
        RawClient client(port);
        ASSERT_TRUE(client.send(get("/")));
        RawClient::Answer answer = client.readAnswer();
        EXPECT_EQ(answer.head.substr(0, answer.head.find("\r\n")), "HTTP/1.1 401 Unauthorized");
        EXPECT_EQ(answer.header("Connection"), "close");
        EXPECT_TRUE(answer.header("WWW-Authenticate"));
        EXPECT_TRUE(answer.header("Set-Cookie"));  // a new session
        EXPECT_FALSE(answer.header("Content-Length"));
        std::string rest;
        EXPECT_EQ(client.waitForEnd(rest), RawClient::End::closed);
        EXPECT_EQ(rest, "");
    }
    RawClient client(port);
    for (int i = 1; i <= 2; ++i) {
        ASSERT_TRUE(client.send(get("/in", "Authorization: Basic dTpw\r\n")));  // u:p
        RawClient::Answer answer = client.readAnswer();
        EXPECT_EQ(answer.status, 200) << answer.head;
        EXPECT_EQ(answer.body, "/in #" + std::to_string(i));
        EXPECT_FALSE(answer.header("Connection"));
    }
}

TEST_F(ServerTest, RefusedPeerIsClosedBeforeAnythingIsRead)
{
    server.setAccess({.filterIPs = true});  // and no allowed pattern at all
    startServer();
    RawClient client(port);
    ASSERT_TRUE(client.isConnected());  // the system completes the handshake
    client.send(get("/secret"));
    std::string received;
    EXPECT_NE(client.waitForEnd(received), RawClient::End::stillOpen);
    EXPECT_EQ(received, "");
    EXPECT_EQ(server.accepted, 0);
    EXPECT_EQ(log.count(), 0u);  // no connection, so nothing to report
    EXPECT_EQ(server.connectionCount(), 0u);
}

TEST_F(ServerTest, PatternsDecideAdmissionAcrossRestarts)
{
    http::AccessRules rules{.filterIPs = true, .allowedIPs = {"10.0.0.1", "127.0.0.*"}, .blockedIPs = {"127.0.0.2"}};
    server.setAccess(rules);
    startServer();
    {
        RawClient client(port);
        ASSERT_TRUE(client.send(get("/in")));
        EXPECT_EQ(client.readAnswer().body, "/in #1");
    }
    rules.blockedIPs = {"192.168.0.1", "127.0.0.1"};
    server.setAccess(rules);
    restartOn(freePort());
    {
        RawClient client(port);
        client.send(get("/in"));
        std::string received;
        EXPECT_NE(client.waitForEnd(received), RawClient::End::stillOpen);
        EXPECT_EQ(received, "");
    }
    rules.filterIPs = false;  // the lists no longer matter
    server.setAccess(rules);
    restartOn(freePort());
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/in")));
    EXPECT_EQ(client.readAnswer().body, "/in #1");
    EXPECT_EQ(server.accepted, 2);
}

TEST_F(ServerTest, AdmissionFollowsTheRulesInForce)
{
    http::AccessRules rules{.allowedIPs = http::addressPatterns(" 1.2.3.4\t\r\n5.6.7.*  ")};
    server.setAccess(rules);
    EXPECT_TRUE(server.isAllowed("5.6.7.8"));
    EXPECT_FALSE(server.isAllowed("5.6.8.8"));
    const std::shared_ptr<const http::AccessRules> held = server.access();
    rules.blockedIPs = {"5.6.7.8"};
    server.setAccess(rules);
    EXPECT_FALSE(server.isAllowed("5.6.7.8"));
    EXPECT_TRUE(held->blockedIPs.empty());  // a set handed out never changes
}

TEST_F(ServerTest, AStopEndsIdleConnectionsAtOnceAndLetsAnAnswerFinish)
{
    server.answerGrace = 60s;
    startServer();
    RawClient idle(port);
    ASSERT_TRUE(idle.send(get("/a")));
    ASSERT_EQ(idle.readAnswer().status, 200);
    RawClient reader(port);
    ASSERT_TRUE(reader.send(get("/big")));  // more than the socket buffers hold
    ASSERT_TRUE(waitUntil([&] { return server.connectionCount() == 2; }));
    auto handle = server.threadHandle();
    ASSERT_TRUE(server.stop());
    // The idle client keeps its side open; the server ends the connection
    // without a word.
    std::string received;
    EXPECT_EQ(idle.waitForEnd(received), RawClient::End::closed);
    EXPECT_EQ(received, "");
    EXPECT_EQ(reader.readAnswer(60s).body.size(), bigBodySize);
    std::string rest;
    EXPECT_EQ(reader.waitForEnd(rest), RawClient::End::closed);
    EXPECT_TRUE(handle->waitFor(10s));
    EXPECT_TRUE(server.allRequestsDone.isSet());
    EXPECT_EQ(server.connectionCount(), 0u);
    EXPECT_EQ(server.threadId(), 0u);
    EXPECT_EQ(server.listeningPort(), 0);
    EXPECT_FALSE(RawClient(port).isConnected());
}

TEST_F(ServerTest, AnAnswerNobodyReadsIsCutOffAfterTheGraceAndAfterAStall)
{
    struct Case {
        const char* name;
        bool stop;
    };
    for (const Case c : {Case{"stop", true}, Case{"stalled send", false}}) {
        SCOPED_TRACE(c.name);
        server.answerGrace = 200ms;
        server.sendStallLimit = c.stop ? 3600 : 1;
        startServer();
        RawClient client(port);
        ASSERT_TRUE(client.send(get("/big")));
        ASSERT_EQ(client.readHead().status, 200);
        if (c.stop) {
            server.stop();
            EXPECT_TRUE(server.threadHandle()->waitFor(10s));
        } else {
            EXPECT_TRUE(waitUntil([&] { return server.connectionCount() == 0; }, 30s));
            server.stop();
            EXPECT_TRUE(server.threadHandle()->waitFor(10s));
        }
    }
}

TEST_F(ServerTest, IdleConnectionsCountOnlyAgainstTheOpenLimitWhereTheLongestIdleMakesRoom)
{
    server.maxConnections = 2;
    server.maxOpenConnections = 3;
    startServer();
    // Each served and idle in turn; a fresh connection counts as idle too.
    auto servedAndIdle = [&](RawClient& client, std::size_t idle) {
        ASSERT_TRUE(client.send(get("/x")));
        ASSERT_EQ(client.readAnswer().status, 200);
        ASSERT_TRUE(waitUntil([&] { return server.idleConnectionCount() == idle; }));
    };
    RawClient older(port);
    servedAndIdle(older, 1);
    RawClient newer(port);
    servedAndIdle(newer, 2);
    RawClient third(port);
    servedAndIdle(third, 3);
    RawClient fourth(port);
    std::string received;
    EXPECT_EQ(older.waitForEnd(received), RawClient::End::closed);
    EXPECT_EQ(received, "");
    ASSERT_TRUE(fourth.send(get("/t")));
    EXPECT_EQ(fourth.readAnswer().body, "/t #1");

    // Two connections busy with a request: no room for a fifth.
    ASSERT_TRUE(newer.send(get("/hold")));
    ASSERT_TRUE(third.send(get("/hold")));
    ASSERT_TRUE(waitUntil([&] { return holding == 2; }));
    RawClient fifth(port);
    RawClient::Answer refused = fifth.readAnswer();
    EXPECT_EQ(refused.status, 503) << refused.head;
    EXPECT_EQ(fifth.waitForEnd(received), RawClient::End::closed);
    holdGate.set();
    EXPECT_EQ(newer.readAnswer().body, "/hold #2");
    EXPECT_EQ(third.readAnswer().body, "/hold #2");
    EXPECT_EQ(server.connectionCount(), 3u);
}

TEST_F(ServerTest, SlowClientsOfOneAddressLockOutNoOther)
{
    const std::string path = ::testing::TempDir() + "tunelet-download-" + std::to_string(::getpid());
    {
        platform::UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_EQ(::ftruncate(file.get(), 16 << 20), 0);
    }
    downloadPath = path;
    struct Case {
        const char* name;
        std::string sent;  // then nothing more, and nothing read
        bool busy;         // counts as busy meanwhile (a head on its way counts as idle)
        bool holdsNoThread;
    };
    const Case cases[] = {
        {"slow reader of a download", get("/file"), true, true},
        {"request head never ends", "GET /x HTTP/1.1\r\nHost: test\r\n", false, true},
        {"request body never ends", "POST /x HTTP/1.1\r\nHost: test\r\nContent-Length: 100\r\n\r\nab", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startServer();
        const auto before = threadCount();
        std::vector<std::unique_ptr<RawClient>> slow;
        for (int r = 0; r < 300; ++r) {
            slow.push_back(std::make_unique<RawClient>(port, "127.0.0.2", 4096));
            ASSERT_TRUE(slow.back()->send(c.sent));
        }
        const std::size_t perPeer = server.maxConnectionsPerPeer.load();
        EXPECT_TRUE(waitUntil([&] {
            return server.connectionCount() == perPeer && server.idleConnectionCount() == (c.busy ? 0 : perPeer);
        })) << server.connectionCount() << " " << server.idleConnectionCount();
        RawClient other(port);
        ASSERT_TRUE(other.send(get("/other")));
        EXPECT_EQ(other.readAnswer(2s).body, "/other #1");
        // Threads that took over from a poller held up by a loaded machine
        // end once their turn is served; a thread per slow client would stay.
        if (c.holdsNoThread) {
            EXPECT_TRUE(waitUntil([&] { return threadCount() < before + 5; })) << threadCount() << " " << before;
        }
        server.stop();
        ASSERT_TRUE(server.threadHandle()->waitFor(10s));
    }
    ::unlink(path.c_str());
}

TEST_F(ServerTest, StartsAgainAfterAStop)
{
    startServer();
    server.stop();
    ASSERT_TRUE(server.threadHandle()->waitFor(10s));
    startServer();
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/again")));
    EXPECT_EQ(client.readAnswer().body, "/again #1");
}

TEST_F(ServerTest, APeerAcceptedWhileAStopIsUnderWayIsShutDownToo)
{
    platform::Event gate;
    server.acceptGate = &gate;
    startServer();
    RawClient client(port);
    ASSERT_TRUE(waitUntil([&] { return server.accepted == 1; }));
    server.stop();  // finds no connection yet
    gate.set();
    std::string received;
    EXPECT_EQ(client.waitForEnd(received), RawClient::End::closed);
    EXPECT_EQ(received, "");
    client.close();
    EXPECT_TRUE(server.threadHandle()->waitFor(10s));
}

TEST_F(ServerTest, AStopRepeatedWhileConnectionsEndDoesNotStopTheNextRun)
{
    server.answerGrace = 60s;
    startServer();
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/hold")));
    ASSERT_TRUE(waitUntil([&] { return holding == 1; }));
    server.stop();
    ASSERT_TRUE(waitUntil([&] { return server.listeningPort() == 0; }));
    server.stop();  // while the listener waits for the answer
    holdGate.set();
    EXPECT_EQ(client.readAnswer().body, "/hold #1");
    ASSERT_TRUE(server.threadHandle()->waitFor(10s));
    startServer();
    EXPECT_FALSE(server.threadHandle()->waitFor(200ms));
    RawClient again(port);
    ASSERT_TRUE(again.send(get("/again")));
    EXPECT_EQ(again.readAnswer().body, "/again #1");
}

TEST_F(ServerTest, RestartRebindsOnTheSameThread)
{
    startServer();
    const std::uint16_t oldPort = port;
    RawClient before(port);
    ASSERT_TRUE(before.send(get("/before")));
    ASSERT_EQ(before.readAnswer().status, 200);
    auto handle = server.threadHandle();
    const std::uint32_t id = server.threadId();

    restartOn(freePort());
    ASSERT_NE(port, oldPort);
    EXPECT_EQ(server.threadHandle(), handle);
    EXPECT_FALSE(handle->isFinished());
    EXPECT_EQ(server.threadId(), id);
    // Connections of the old socket were shut down by the stop.
    std::string received;
    EXPECT_EQ(before.waitForEnd(received), RawClient::End::closed);
    EXPECT_FALSE(RawClient(oldPort).isConnected());
    RawClient after(port);
    ASSERT_TRUE(after.send(get("/after")));
    EXPECT_EQ(after.readAnswer().body, "/after #1");
}

// Restarts, stops and a quit asked from three threads right after one
// another, in a random order, while the listener is still busy with the one
// before: it ends in the state asked for last, and nothing revives it after
// a quit.
TEST(ServerRestart, EndsInTheStateAskedForLast)
{
    enum Ask { restart, stop, quit };
    std::mt19937 random(26);
    for (int round = 0; round < 300; ++round) {
        EchoServer server;
        ASSERT_TRUE(server.start());
        std::vector<Ask> order(2 + random() % 4);
        for (Ask& ask : order)
            ask = random() % 2 ? restart : stop;
        if (random() % 3 == 0)
            order.insert(order.begin() + static_cast<std::ptrdiff_t>(random() % (order.size() + 1)), quit);
        std::atomic<std::size_t> turn{0};
        std::vector<std::thread> askers;
        for (Ask mine : {restart, stop, quit}) {
            askers.emplace_back([&, mine] {
                for (std::size_t next; (next = turn.load()) < order.size();) {
                    if (order[next] != mine) {
                        std::this_thread::yield();
                        continue;
                    }
                    if (mine == restart)
                        server.restart({platform::loopbackAddress(), 0});
                    else if (mine == stop)
                        server.stop();
                    else
                        server.quit();
                    turn = next + 1;
                }
            });
        }
        for (std::thread& asker : askers)
            asker.join();
        const bool quitAsked = std::find(order.begin(), order.end(), quit) != order.end();
        if (!quitAsked && order.back() == restart) {
            EXPECT_TRUE(waitUntil([&] {
                const std::uint16_t port = server.listeningPort();
                RawClient client(port);
                return port != 0 && client.send(get("/up")) && client.readAnswer().status == 200;
            })) << "round " << round;
            server.stop();
        }
        if (quitAsked) {
            EXPECT_FALSE(server.restart({platform::loopbackAddress(), 0})) << "round " << round;
        }
        ASSERT_TRUE(server.threadHandle()->waitFor(10s)) << "round " << round;
        EXPECT_EQ(server.listeningPort(), 0);
    }
}

TEST_F(ServerTest, BindFailureEndsTheListenerWithMinusOne)
{
    startServer();
    EchoServer second(port);  // taken by the first
    EXPECT_EQ(second.run(), -1);
    ASSERT_TRUE(second.start());
    EXPECT_TRUE(second.threadHandle()->waitFor(10s));
    EXPECT_EQ(second.listeningPort(), 0);
    // The first is untouched.
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/first")));
    EXPECT_EQ(client.readAnswer().body, "/first #1");
}

TEST_F(ServerTest, IdleConnectionsEndAfterTheIdleLimit)
{
    server.idleTimeout = 1;
    startServer();
    RawClient used(port);
    ASSERT_TRUE(used.send(get("/a")));
    ASSERT_EQ(used.readAnswer().status, 200);
    RawClient silent(port);
    for (RawClient* client : {&used, &silent}) {
        std::string received;
        EXPECT_EQ(client->waitForEnd(received), RawClient::End::closed);
        EXPECT_EQ(received, "");  // no answer to a request that never came
    }
    EXPECT_TRUE(waitUntil([&] { return server.connectionCount() == 0; }));
}

TEST_F(ServerTest, ARequestTrickledTooSlowlyIsCutOff)
{
    server.requestTimeout = 1;
    startServer();
    // Between requests the (long) idle limit applies, not the request limit.
    RawClient patient(port);
    ASSERT_TRUE(patient.send(get("/a")));
    ASSERT_EQ(patient.readAnswer().status, 200);

    RawClient slow(port);
    ASSERT_TRUE(slow.send("GET /slow HTTP/1.1\r\nHost: te"));
    std::string received;
    EXPECT_EQ(slow.waitForEnd(received), RawClient::End::closed);
    EXPECT_EQ(received, "");

    // Idle since before the slow request began, so for longer than the
    // request limit by now.
    ASSERT_TRUE(patient.send(get("/b")));
    EXPECT_EQ(patient.readAnswer().body, "/b #2");
}

TEST_F(ServerTest, ActivityListsEveryLiveConnection)
{
    startServer();
    RawClient a(port);
    ASSERT_TRUE(a.send(get("/first%20one?q=1")));
    ASSERT_EQ(a.readAnswer().status, 200);
    const std::string addressA = addressOf(a);
    EXPECT_TRUE(waitUntil([&] { return log.contains({{addressA, ""}}); }));  // on accept
    EXPECT_TRUE(waitUntil([&] { return log.contains({{addressA, "/first one"}}); }));

    RawClient b(port);
    const std::string addressB = addressOf(b);
    EXPECT_TRUE(waitUntil([&] { return log.contains({{addressA, "/first one"}, {addressB, ""}}); }));
    ASSERT_TRUE(b.send(get("/b")));
    ASSERT_EQ(b.readAnswer().status, 200);
    EXPECT_TRUE(waitUntil([&] { return log.contains({{addressA, "/first one"}, {addressB, "/b"}}); }));

    a.close();
    EXPECT_TRUE(waitUntil([&] { return log.contains({{addressB, "/b"}}); }));
    b.close();
    EXPECT_TRUE(server.allRequestsDone.waitFor(10s));
    EXPECT_EQ(log.last(), http::ActivityList{});
}

TEST_F(ServerTest, ManyConnectionsAtOnce)
{
    constexpr int count = 100;
    server.maxConnectionsPerPeer = count;
    startServer();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(clients.back()->isConnected()) << i;
    }
    for (int round = 1; round <= 2; ++round) {
        for (int i = 0; i < count; ++i)
            ASSERT_TRUE(clients[i]->send(get("/c" + std::to_string(i))));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(clients[i]->readAnswer().body, "/c" + std::to_string(i) + " #" + std::to_string(round));
    }
    EXPECT_EQ(server.connectionCount(), static_cast<std::size_t>(count));
    EXPECT_FALSE(server.allRequestsDone.isSet());
    clients.clear();
    EXPECT_TRUE(server.allRequestsDone.waitFor(10s));
    EXPECT_EQ(server.connectionCount(), 0u);
}

TEST_F(ServerTest, AnswersThatWaitHoldUpNoOtherConnection)
{
    // Each held answer keeps a serving thread; the others go on being served,
    // on fresh connections and on kept-alive ones alike.
    startServer();
    RawClient kept(port);
    ASSERT_TRUE(kept.send(get("/a")));
    ASSERT_EQ(kept.readAnswer().body, "/a #1");
    std::vector<std::unique_ptr<RawClient>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(held.back()->send(get("/hold")));
        ASSERT_TRUE(waitUntil([&] { return holding == i + 1; }));
    }
    // Reported while its connection is held: the holder reads it afterwards.
    // /b is answered after that report has been taken.
    ASSERT_TRUE(held[0]->send(get("/after")));
    ASSERT_TRUE(kept.send(get("/b")));
    EXPECT_EQ(kept.readAnswer().body, "/b #2");
    RawClient fresh(port);
    ASSERT_TRUE(fresh.send(get("/c") + get("/d")));  // pipelined
    EXPECT_EQ(fresh.readAnswer().body, "/c #1");
    EXPECT_EQ(fresh.readAnswer().body, "/d #2");
    holdGate.set();
    for (auto& client : held)
        EXPECT_EQ(client->readAnswer().body, "/hold #1");
    EXPECT_EQ(held[0]->readAnswer().body, "/after #2");
    ASSERT_TRUE(kept.send(get("/e")));
    EXPECT_EQ(kept.readAnswer().body, "/e #3");
}

TEST_F(ServerTest, AllRequestsDoneWaitsForEveryConnectionToFinish)
{
    // Observers that take a while let connections ending together overlap in
    // their last steps; the event may only be set once every one is through.
    std::atomic<int> inside{0};
    std::atomic<int> seenInsideWhenDone{0};
    struct SlowObserver {
        std::atomic<int>* inside;
        threading::Callback<SlowObserver> callback{this, &SlowObserver::observe};
        std::intptr_t observe(threading::CallbackArgument argument)
        {
            ++*inside;
            auto size = reinterpret_cast<const http::ActivityList*>(argument)->size();
            std::this_thread::sleep_for(size % 2 ? 200us : 2000us);
            --*inside;
            return 0;
        }
    } slow{&inside};
    server.activity.add(&slow.callback);
    startServer();
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < 6; ++i) {
            clients.push_back(std::make_unique<RawClient>(port));
            ASSERT_TRUE(clients.back()->send(get("/r")));
            ASSERT_EQ(clients.back()->readAnswer().status, 200);
        }
        clients.clear();
        ASSERT_TRUE(server.allRequestsDone.waitFor(10s));
        seenInsideWhenDone += inside.load();
        // Done means done: nothing is still on its way out.
        ASSERT_TRUE(waitUntil([&] { return inside == 0; }));
    }
    EXPECT_EQ(seenInsideWhenDone, 0);
    server.activity.remove(&slow.callback);
}

TEST_F(ServerTest, SmallAnswersInTwoSendsDoNotStall)
{
    startServer();
    RawClient client(port);
    // With Nagle's algorithm on, a delayed acknowledgement would hold back
    // every second send by about 40 ms; accepted sockets turn it off.
    ASSERT_TRUE(client.send(get("/nodelay")));
    EXPECT_EQ(client.readAnswer().body, "on");
    for (int i = 2; i <= 20; ++i) {
        ASSERT_TRUE(client.send(get("/twosends")));
        ASSERT_EQ(client.readAnswer().body, "/twosends #" + std::to_string(i));
    }
}

TEST_F(ServerTest, SessionsAreKeptByIdentifier)
{
    auto [idA, a] = server.sessions().issue();
    auto [idB, b] = server.sessions().issue();
    EXPECT_NE(idA, idB);
    a->set("k", "v");
    EXPECT_EQ(server.sessions().find(idA), a);
    EXPECT_EQ(server.sessions().find(idA)->get("k"), "v");
    EXPECT_EQ(server.sessions().find(idB), b);
    EXPECT_EQ(server.sessions().find(idB)->get("k"), "");
    EXPECT_EQ(server.sessions().find("made-up"), nullptr);
}

TEST_F(ServerTest, PipelinedAnswersKeepTheirOrderAroundTheOnesThatWaitForThePlayer)
{
    PlayerThread player;
    startServer();
    RawClient one(port);
    ASSERT_TRUE(one.send(get("/later/1") + get("/a") + get("/later/2") + get("/later/3") + get("/b")));
    for (const char* body : {"1:10", "/a #1", "2:20", "3:30", "/b #2"})
        EXPECT_EQ(one.readAnswer().body, body);

    // Many clients at once, each pipelining: answered in batches, each in order.
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int c = 0; c < 20; ++c) {
        clients.push_back(std::make_unique<RawClient>(port));
        std::string requests;
        for (int i = 0; i < 10; ++i)
            requests += get("/later/" + std::to_string(c * 100 + i));
        ASSERT_TRUE(clients.back()->send(requests));
    }
    for (int c = 0; c < 20; ++c)
        for (int i = 0; i < 10; ++i) {
            const int n = c * 100 + i;
            ASSERT_EQ(clients[c]->readAnswer().body, std::to_string(n) + ":" + std::to_string(n * 10));
        }

    // With no window to ask, the answer is 0 at once, as a send's would be.
    const platform::HWND window = laterWindow.exchange(nullptr);
    ASSERT_TRUE(one.send(get("/later/4") + get("/c")));
    EXPECT_EQ(one.readAnswer().body, "4:0");
    EXPECT_EQ(one.readAnswer().body, "/c #3");
    laterWindow = window;
}

TEST_F(ServerTest, AnswersWaitingForABusyPlayerHoldNoThread)
{
    // A thread per waiting answer would show as fifty more threads.
    PlayerThread player;
    server.maxConnectionsPerPeer = 51;
    startServer();
    platform::postMessage(laterWindow, MSG_HOLD);
    ASSERT_TRUE(waitUntil([] { return holding == 1; }));
    const auto before = threadCount();
    std::vector<std::unique_ptr<RawClient>> waiting;
    for (int c = 0; c < 50; ++c) {
        waiting.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(waiting.back()->send(get("/later/" + std::to_string(c))));
    }
    ASSERT_TRUE(waitUntil([] { return laterAsked == 50; }));
    RawClient other(port);
    ASSERT_TRUE(other.send(get("/meanwhile")));
    EXPECT_EQ(other.readAnswer().body, "/meanwhile #1");
    EXPECT_TRUE(waitUntil([&] { return threadCount() < before + 5; })) << threadCount() << " " << before;
    holdGate.set();
    for (int c = 0; c < 50; ++c)
        EXPECT_EQ(waiting[c]->readAnswer().body, std::to_string(c) + ":" + std::to_string(c * 10));
}

TEST_F(ServerTest, AStopByThePlayersOwnThreadStillFinishesTheAnswersThatWaitForIt)
{
    // As at quit: the player's thread stops the server and waits for it,
    // serving sent messages meanwhile. The message the answer waits for is
    // still queued for it then: served in that wait, the answer goes out,
    // then its connection ends and so does the server.
    PlayerThread player;
    startServer();
    platform::Event stopped;
    std::function<void()> stopAndWait = [&] {
        if (!waitUntil([] { return laterAsked == 1; }))
            return;
        server.stop();
        if (auto handle = server.threadHandle())
            platform::waitServingMessages(handle->event());
        stopped.set();
    };
    platform::postMessage(laterWindow, MSG_RUN, reinterpret_cast<platform::WPARAM>(&stopAndWait));
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/later/4")));
    EXPECT_EQ(client.readAnswer().body, "4:40");
    std::string rest;
    EXPECT_EQ(client.waitForEnd(rest), RawClient::End::closed);
    EXPECT_TRUE(stopped.waitFor(10s));
}

} // namespace
