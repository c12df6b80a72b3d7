#include "platform/PlayerMessages.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#ifndef _WIN32
#include <poll.h>
#endif
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr UINT MSG_ECHO = WM_USER + 1;     // answers wParam + lParam
constexpr UINT MSG_FORWARD = WM_USER + 2;  // sends MSG_ECHO to the window in user data
constexpr UINT MSG_RECORD = WM_USER + 3;   // appends wParam to the vector in user data
constexpr UINT MSG_QUIT = WM_USER + 4;

LRESULT PLATFORM_CALLBACK echoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case MSG_ECHO:
        return static_cast<LRESULT>(wParam) + lParam;
    case MSG_FORWARD:
        return sendMessage(static_cast<HWND>(getWindowUserData(hwnd)), MSG_ECHO, wParam, 1000);
    case MSG_QUIT:
        postQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    return defWindowProc(hwnd, message, wParam, lParam);
}

LRESULT PLATFORM_CALLBACK recordProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == MSG_RECORD) {
        static_cast<std::vector<int>*>(getWindowUserData(hwnd))->push_back(static_cast<int>(wParam));
        return 1;
    }
    return echoProc(hwnd, message, wParam, lParam);
}

/// A thread that owns one window and runs its message loop until told to quit.
class WindowThread {
public:
    explicit WindowThread(WindowProc proc, void* userData = nullptr)
    {
        platform::Event created;
        thread = std::thread([&, proc, userData] {
            window = createWindow(proc, userData);
            created.set();
            exitCode = runMessageLoop();
            destroyWindow(window);
        });
        created.wait();
    }
    ~WindowThread()
    {
        if (thread.joinable())
            stop();
    }
    int stop()
    {
        postMessage(window, MSG_QUIT, 7);
        thread.join();
        return exitCode;
    }

    HWND window = nullptr;
    int exitCode = -1;

private:
    std::thread thread;
};

} // namespace

TEST(Window, SendRunsOnTheOwningThreadAndDirectlyOnItsOwn)
{
    static std::thread::id ranOn;
    auto proc = +[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) PLATFORM_CALLBACK -> LRESULT {
        if (message != MSG_ECHO)
            return echoProc(hwnd, message, wParam, lParam);
        ranOn = std::this_thread::get_id();
        return static_cast<LRESULT>(wParam) * 2;
    };

    HWND mine = createWindow(proc);
    EXPECT_TRUE(isWindowThread(mine));
    EXPECT_EQ(sendMessage(mine, MSG_ECHO, 21), 42);  // no loop runs here: the call is direct
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    {
        WindowThread other(proc);
        EXPECT_FALSE(isWindowThread(other.window));
        EXPECT_EQ(sendMessage(other.window, MSG_ECHO, 5), 10);
        EXPECT_NE(ranOn, std::this_thread::get_id());
        EXPECT_EQ(other.stop(), 7);
    }
    EXPECT_TRUE(destroyWindow(mine));
    EXPECT_FALSE(isWindow(mine));
    EXPECT_FALSE(destroyWindow(mine));
    // Handles of destroyed windows fail softly.
    EXPECT_EQ(sendMessage(mine, MSG_ECHO, 1), 0);
    EXPECT_FALSE(postMessage(mine, MSG_ECHO));
    EXPECT_EQ(getWindowProc(mine), nullptr);
}

TEST(Window, ManyThreadsSendingToOneWindowEachGetTheirOwnAnswer)
{
    struct Counter {
        int calls = 0;  // touched only by the owning thread
    } counter;
    auto proc = +[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) PLATFORM_CALLBACK -> LRESULT {
        if (message != MSG_ECHO)
            return echoProc(hwnd, message, wParam, lParam);
        ++static_cast<Counter*>(getWindowUserData(hwnd))->calls;
        return static_cast<LRESULT>(wParam) * 1000 + lParam;
    };
    WindowThread server(proc, &counter);

    constexpr int senders = 8, perSender = 500;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s)
        threads.emplace_back([&, s] {
            for (int i = 0; i < perSender; ++i)
                if (sendMessage(server.window, MSG_ECHO, static_cast<WPARAM>(s), i) != s * 1000 + i)
                    ++wrong;
        });
    for (auto& t : threads)
        t.join();
    server.stop();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(counter.calls, senders * perSender);
}

TEST(Window, ThreadsSendingToEachOtherDoNotDeadlock)
{
    // Each window forwards to the other's: while A waits for B, B sends to A,
    // which must be answered by A's waiting sendMessage.
    WindowThread a(echoProc);
    WindowThread b(echoProc);
    setWindowUserData(a.window, b.window);
    setWindowUserData(b.window, a.window);

    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int s = 0; s < 4; ++s)
        threads.emplace_back([&, s] {
            for (int i = 0; i < 200; ++i) {
                HWND target = (i + s) % 2 ? a.window : b.window;
                if (sendMessage(target, MSG_FORWARD, static_cast<WPARAM>(i)) != i + 1000)
                    ++wrong;
            }
        });
    // The window threads also send straight at each other at the same time.
    std::thread crossA([&] {
        for (int i = 0; i < 200; ++i)
            if (sendMessage(a.window, MSG_FORWARD, 1) != 1001)
                ++wrong;
    });
    for (auto& t : threads)
        t.join();
    crossA.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Window, SubclassingChainsThroughTheReplacedProcedure)
{
    static WindowProc previous = nullptr;
    static std::vector<std::string> trail;
    trail.clear();
    auto base = +[](HWND, UINT message, WPARAM wParam, LPARAM) PLATFORM_CALLBACK -> LRESULT {
        trail.push_back("base");
        return message == MSG_ECHO ? static_cast<LRESULT>(wParam) : -1;
    };
    auto subclass = +[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) PLATFORM_CALLBACK -> LRESULT {
        trail.push_back("sub");
        if (message == MSG_RECORD)
            return 99;  // handled here, not passed on
        return callWindowProc(previous, hwnd, message, wParam + 1, lParam);
    };

    HWND window = createWindow(base);
    previous = setWindowProc(window, subclass);
    EXPECT_EQ(previous, base);
    EXPECT_EQ(getWindowProc(window), subclass);
    EXPECT_EQ(sendMessage(window, MSG_ECHO, 4), 5);
    EXPECT_EQ(sendMessage(window, MSG_RECORD), 99);
    EXPECT_EQ(trail, (std::vector<std::string>{"sub", "base", "sub"}));

    // Restoring hands back the subclass; a null procedure changes nothing.
    EXPECT_EQ(setWindowProc(window, previous), subclass);
    EXPECT_EQ(setWindowProc(window, nullptr), nullptr);
    EXPECT_EQ(getWindowProc(window), base);
    EXPECT_EQ(callWindowProc(nullptr, window, MSG_ECHO, 1, 0), 0);
    destroyWindow(window);
}

TEST(Window, PostedMessagesArriveInOrderAndTheLoopEndsWithTheQuitCode)
{
    std::vector<int> seen;
    HWND window = createWindow(recordProc, &seen);
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i)
            postMessage(window, MSG_RECORD, static_cast<WPARAM>(i));
        postMessage(window, MSG_QUIT, 3);
        postMessage(window, MSG_RECORD, 100);  // posted after the quit request: still dispatched
    });
    poster.join();
    EXPECT_EQ(runMessageLoop(), 3);
    ASSERT_EQ(seen.size(), 101u);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i);

    // A message posted to a destroyed window is dropped (with the window, or
    // when dispatched), never run.
    postMessage(window, MSG_RECORD, 500);
    destroyWindow(window);
    Message message;
    while (peekMessage(message))
        EXPECT_EQ(dispatchMessage(message), 0);
    EXPECT_EQ(seen.size(), 101u);
}

TEST(Window, NestedLoopKeepsDispatchingAndPassesQuitOutward)
{
    // A "dialog" opened by a posted message runs its own loop; messages posted
    // meanwhile, and sends from another thread, are served inside it.
    struct State {
        std::vector<int> seen;
        bool dialogClosed = false;
        bool nestedResult = false;
        HWND window = nullptr;
    } state;
    static State* s = nullptr;
    s = &state;
    auto proc = +[](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) PLATFORM_CALLBACK -> LRESULT {
        if (message == MSG_RECORD && wParam == 1) {
            s->seen.push_back(1);
            s->nestedResult = runNestedLoop([] { return s->dialogClosed; });
            s->seen.push_back(-1);
            return 0;
        }
        if (message == MSG_RECORD && wParam == 3) {
            s->seen.push_back(3);
            s->dialogClosed = true;
            return 0;
        }
        if (message == MSG_RECORD) {
            s->seen.push_back(static_cast<int>(wParam));
            return 0;
        }
        return echoProc(hwnd, message, wParam, lParam);
    };
    state.window = createWindow(proc);
    postMessage(state.window, MSG_RECORD, 1);
    postMessage(state.window, MSG_RECORD, 2);
    std::thread sender([&] {
        // Answered by the nested loop (the outer one is blocked inside it).
        EXPECT_EQ(sendMessage(state.window, MSG_ECHO, 20, 22), 42);
        postMessage(state.window, MSG_RECORD, 3);
        postMessage(state.window, MSG_RECORD, 4);
        postMessage(state.window, MSG_QUIT, 9);
    });
    EXPECT_EQ(runMessageLoop(), 9);
    sender.join();
    EXPECT_TRUE(state.nestedResult);
    EXPECT_EQ(state.seen, (std::vector<int>{1, 2, 3, -1, 4}));

    // A quit request reaching a nested loop ends it and then the outer loop.
    state.seen.clear();
    state.dialogClosed = false;
    postMessage(state.window, MSG_RECORD, 1);
    postMessage(state.window, MSG_QUIT, 5);
    postMessage(state.window, MSG_RECORD, 2);
    EXPECT_EQ(runMessageLoop(), 5);
    EXPECT_FALSE(state.nestedResult);
    EXPECT_EQ(state.seen, (std::vector<int>{1, 2, -1}));
    destroyWindow(state.window);
}

TEST(Window, WaitServingMessagesAnswersSendsWhileItWaits)
{
    // The quit-time pattern: the window thread waits for a worker that first
    // needs an answer from the window thread.
    HWND window = createWindow(echoProc);
    platform::Event workerDone;
    LRESULT answer = 0;
    std::thread worker([&] {
        answer = sendMessage(window, MSG_ECHO, 40, 2);
        workerDone.set();
    });
    waitServingMessages(workerDone);
    EXPECT_EQ(answer, 42);
    worker.join();

    // Posted messages are left for the loop; the timed wait reports a timeout.
    std::vector<int> seen;
    HWND recorder = createWindow(recordProc, &seen);
    postMessage(recorder, MSG_RECORD, 8);
    platform::Event never;
    EXPECT_FALSE(waitServingMessages(never, 50ms));
    EXPECT_TRUE(seen.empty());
    Message message;
    ASSERT_TRUE(peekMessage(message));
    dispatchMessage(message);
    EXPECT_EQ(seen, std::vector<int>{8});

    // An event set already returns at once; one set later ends the timed wait.
    platform::Event set(true);
    EXPECT_TRUE(waitServingMessages(set, 0ms));
    platform::Event later;
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        later.set();
    });
    EXPECT_TRUE(waitServingMessages(later, 10s));
    setter.join();
    destroyWindow(recorder);
    destroyWindow(window);
}

TEST(Window, SendsToAThreadThatHasEndedAnswerZero)
{
    HWND orphan = nullptr;
    std::thread owner([&] { orphan = createWindow(echoProc); });
    owner.join();
    // Nobody can serve its window any more (the system may have taken it).
    EXPECT_EQ(sendMessage(orphan, MSG_ECHO, 1, 1), 0);
    EXPECT_FALSE(postMessage(orphan, MSG_ECHO));
    destroyWindow(orphan);
}

TEST(Window, DestroyTellsTheProcedureOnTheOwningThread)
{
    static int destroyed;
    destroyed = 0;
    auto proc = +[](HWND, UINT message, WPARAM, LPARAM) PLATFORM_CALLBACK -> LRESULT {
        if (message == WM_DESTROY)
            ++destroyed;
        return 0;
    };
    {
        UniqueWindow owned(createWindow(proc));
        EXPECT_TRUE(isWindow(owned.get()));
    }
    EXPECT_EQ(destroyed, 1);
}

// A system queue without a descriptor (Windows) is waited on otherwise.
#ifndef _WIN32
TEST(Window, QueueDescriptorIsReadableWhileMessagesArePendingAndThePumpEmptiesIt)
{
    std::thread([] {  // a fresh queue, so no other test's messages linger
        auto readable = [](int fd) {
            pollfd p{fd, POLLIN, 0};
            return ::poll(&p, 1, 0) == 1;
        };
        std::vector<int> got;
        HWND window = createWindow(recordProc, &got);
        postMessage(window, MSG_RECORD, 1);  // pending before the descriptor is made
        int fd = messageQueueDescriptor();
        ASSERT_GE(fd, 0);
        EXPECT_EQ(messageQueueDescriptor(), fd);
        EXPECT_TRUE(readable(fd));
        postMessage(window, MSG_RECORD, 2);
        EXPECT_EQ(pumpMessages(), std::nullopt);
        EXPECT_EQ(got, (std::vector<int>{1, 2}));
        EXPECT_FALSE(readable(fd));

        // Another thread's send is served by the pump; its waiting makes the
        // descriptor readable.
        std::atomic<LRESULT> answer{0};
        std::thread sender([&] { answer = sendMessage(window, MSG_ECHO, 40, 2); });
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10000), 1);
        EXPECT_EQ(pumpMessages(), std::nullopt);
        sender.join();
        EXPECT_EQ(answer.load(), 42);

        // The quit request comes after the messages posted before it.
        postMessage(window, MSG_RECORD, 3);
        postQuitMessage(5);
        EXPECT_TRUE(readable(fd));
        EXPECT_EQ(pumpMessages(), 5);
        EXPECT_EQ(got.back(), 3);
        EXPECT_FALSE(readable(fd));
        destroyWindow(window);
    }).join();
}
#endif
