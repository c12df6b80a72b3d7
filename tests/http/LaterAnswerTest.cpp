// Answers that wait for another thread's window, as the player commands wait
// for the player's: in order on their connection, holding no serving thread,
// and finished when the server stops, even when that thread is the stopper.
#include "http/RequestThread.h"
#include "http/Response.h"
#include "http/Server.h"
#include "http/support/RawClient.h"
#include "platform/Event.h"
#include "platform/PlayerMessages.h"
#include "platform/Socket.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using testing_support::RawClient;

namespace {

constexpr platform::UINT MSG_TIMES_TEN = platform::WM_USER + 1;  // answers wParam * 10
constexpr platform::UINT MSG_HOLD = platform::WM_USER + 2;       // waits for `gate`
constexpr platform::UINT MSG_RUN = platform::WM_USER + 3;        // runs the function wParam points to
constexpr platform::UINT MSG_QUIT = platform::WM_USER + 4;

platform::Event gate;
platform::Event held;

platform::LRESULT playerProc(platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM)
{
    switch (message) {
    case MSG_TIMES_TEN:
        return static_cast<platform::LRESULT>(wParam) * 10;
    case MSG_HOLD:
        held.set();
        gate.wait();
        return 0;
    case MSG_RUN:
        (*reinterpret_cast<std::function<void()>*>(wParam))();
        return 0;
    case MSG_QUIT:
        platform::postQuitMessage(0);
        return 0;
    }
    return 0;
}

/// A thread that owns one window and runs its message loop, as the player.
class PlayerThread {
public:
    PlayerThread()
    {
        platform::Event created;
        thread = std::thread([&] {
            window = platform::createWindow(playerProc);
            created.set();
            platform::runMessageLoop();
            platform::destroyWindow(window);
        });
        created.wait();
    }
    ~PlayerThread()
    {
        platform::postMessage(window, MSG_QUIT);
        thread.join();
    }
    /// The player's thread waits inside a message until `gate` is set.
    void hold()
    {
        gate.reset();
        held.reset();
        platform::postMessage(window, MSG_HOLD);
        held.wait();
    }

    platform::HWND window = nullptr;

private:
    std::thread thread;
};

class LaterServer;

/// "/later/N" answers "N:<the player's answer>" once the player has
/// answered; any other path answers itself at once.
class LaterConnection final : public http::RequestThread {
public:
    LaterConnection(platform::UniqueFd socket, LaterServer& owner);

private:
    void handle(http::Response& response) override;
    LaterServer& owner;
};

class LaterServer final : public http::Server {
public:
    LaterServer() : Server(platform::loopbackAddress(), 0) {}

    std::string realm(const std::string&) override { return "Tunelet"; }
    bool isUser(const std::string&) override { return false; }
    std::string passwordFor(const std::string&) override { return ""; }
    bool acceptConnection(platform::UniqueFd socket) override
    {
        return startConnection(std::make_unique<LaterConnection>(std::move(socket), *this));
    }

    std::atomic<platform::HWND> window{nullptr};
    std::atomic<int> handled{0};
};

LaterConnection::LaterConnection(platform::UniqueFd socket, LaterServer& owner)
    : RequestThread(std::move(socket), owner), owner(owner)
{
}

void LaterConnection::handle(http::Response& response)
{
    ++owner.handled;
    const std::string& path = request->path;
    if (!path.starts_with("/later/")) {
        response.setBody(path);
        response.send();
        return;
    }
    const std::string n = path.substr(7);
    answerLater({owner.window.load(), MSG_TIMES_TEN, std::stoul(n), 0},
                [n](platform::LRESULT result, http::Response& answer) {
                    answer.setBody(n + ":" + std::to_string(result));
                    answer.send();
                });
}

std::string get(const std::string& target)
{
    return "GET " + target + " HTTP/1.1\r\nHost: test\r\n\r\n";
}

bool waitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

std::size_t threadCount()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                  std::filesystem::directory_iterator()));
}

class LaterAnswers : public ::testing::Test {
protected:
    PlayerThread player;
    LaterServer server;
    std::uint16_t port = 0;

    void SetUp() override
    {
        server.window = player.window;
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(waitUntil([&] { return server.listeningPort() != 0; }));
        port = server.listeningPort();
    }
    void TearDown() override
    {
        gate.set();
        server.stop();
        auto handle = server.threadHandle();
        ASSERT_TRUE(!handle || handle->waitFor(30s));
    }
};

} // namespace

TEST_F(LaterAnswers, PipelinedAnswersKeepTheirOrderAroundTheOnesThatWait)
{
    RawClient one(port);
    ASSERT_TRUE(one.send(get("/later/1") + get("/a") + get("/later/2") + get("/later/3") + get("/b")));
    for (const char* body : {"1:10", "/a", "2:20", "3:30", "/b"})
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
    server.window = nullptr;
    ASSERT_TRUE(one.send(get("/later/4") + get("/c")));
    EXPECT_EQ(one.readAnswer().body, "4:0");
    EXPECT_EQ(one.readAnswer().body, "/c");
}

TEST_F(LaterAnswers, AnswersWaitingForABusyPlayerHoldNoThread)
{
    // A thread per waiting answer would show as fifty more threads.
    player.hold();
    const std::size_t before = threadCount();
    std::vector<std::unique_ptr<RawClient>> waiting;
    for (int c = 0; c < 50; ++c) {
        waiting.push_back(std::make_unique<RawClient>(port));
        ASSERT_TRUE(waiting.back()->send(get("/later/" + std::to_string(c))));
    }
    ASSERT_TRUE(waitUntil([&] { return server.handled == 50; }));
    RawClient other(port);
    ASSERT_TRUE(other.send(get("/meanwhile")));
    EXPECT_EQ(other.readAnswer().body, "/meanwhile");
    EXPECT_LT(threadCount(), before + 5);
    gate.set();
    for (int c = 0; c < 50; ++c)
        EXPECT_EQ(waiting[c]->readAnswer().body, std::to_string(c) + ":" + std::to_string(c * 10));
}

TEST_F(LaterAnswers, AStopByThePlayersOwnThreadStillFinishesTheAnswersThatWaitForIt)
{
    // As at quit: the player's thread stops the server and waits for it,
    // serving sent messages meanwhile. The message the answer waits for is
    // still queued for it then: served in that wait, the answer goes out,
    // then its connection ends and so does the server.
    platform::Event stopped;
    std::function<void()> stopAndWait = [&] {
        if (!waitUntil([&] { return server.handled == 1; }))
            return;
        server.stop();
        if (auto handle = server.threadHandle())
            platform::waitServingMessages(handle->event());
        stopped.set();
    };
    platform::postMessage(player.window, MSG_RUN, reinterpret_cast<platform::WPARAM>(&stopAndWait));
    RawClient client(port);
    ASSERT_TRUE(client.send(get("/later/4")));
    EXPECT_EQ(client.readAnswer().body, "4:40");
    std::string rest;
    EXPECT_EQ(client.waitForEnd(rest), RawClient::End::closed);
    EXPECT_TRUE(stopped.waitFor(10s));
}
