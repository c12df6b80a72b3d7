#include "platform/Event.h"
#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "platform/qt/QtMessagePump.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

constexpr UINT MSG_ECHO = WM_USER + 1;    // answers wParam + lParam
constexpr UINT MSG_NESTED = WM_USER + 2;  // runs a nested Qt loop until MSG_LEAVE
constexpr UINT MSG_LEAVE = WM_USER + 3;
constexpr UINT MSG_QUIT = WM_USER + 4;    // postQuitMessage(wParam)

/// What the Qt thread's window shares with the test. Its procedure runs only
/// on the Qt thread.
struct Shared {
    QEventLoop* nested = nullptr;
    platform::Event nestedRunning;
    int nestedEnded = 0;
};

LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto& shared = *static_cast<Shared*>(getWindowUserData(hwnd));
    switch (message) {
    case MSG_ECHO:
        return static_cast<LRESULT>(wParam) + lParam;
    case MSG_NESTED: {
        QEventLoop loop;
        shared.nested = &loop;
        QTimer::singleShot(0, [&] { shared.nestedRunning.set(); });  // once inside the loop
        loop.exec();
        shared.nested = nullptr;
        ++shared.nestedEnded;
        return 0;
    }
    case MSG_LEAVE:
        if (shared.nested)
            shared.nested->quit();
        return 1;
    case MSG_QUIT:
        postQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    return defWindowProc(hwnd, message, wParam, lParam);
}

/// Runs `exec` with the pump and a window of this thread, `other` on another
/// thread; the window goes before the join, so a send the loop never served
/// answers 0 instead of hanging the test.
int runWithOtherThread(Shared& shared, const std::function<void(HWND)>& other)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtMessagePump pump;
    EXPECT_TRUE(pump.isWatching());
    HWND window = createWindow(proc, &shared);
    QTimer::singleShot(30s, [] { QCoreApplication::exit(-1); });  // a hang fails, not stalls
    std::thread thread(other, window);
    int code = app.exec();
    destroyWindow(window);
    thread.join();
    return code;
}

} // namespace

TEST(QtMessagePump, SendsAreAnsweredInQtsLoopAndInANestedOneAndQuitEndsExec)
{
    Shared shared;
    std::atomic<LRESULT> outer{0}, inside{0};
    std::atomic<bool> nestedStarted{false};
    int code = runWithOtherThread(shared, [&](HWND window) {
        outer = sendMessage(window, MSG_ECHO, 40, 2);
        postMessage(window, MSG_NESTED);
        nestedStarted = shared.nestedRunning.waitFor(20s);
        inside = sendMessage(window, MSG_ECHO, 7, 1);  // answered from the nested loop
        sendMessage(window, MSG_LEAVE);
        postMessage(window, MSG_QUIT, 7);
    });
    EXPECT_EQ(code, 7);
    EXPECT_EQ(outer.load(), 42);
    EXPECT_TRUE(nestedStarted.load());
    EXPECT_EQ(inside.load(), 8);
    EXPECT_EQ(shared.nestedEnded, 1);
}

TEST(QtMessagePump, AQuitRequestInsideANestedLoopEndsItAndExec)
{
    Shared shared;
    int code = runWithOtherThread(shared, [&](HWND window) {
        postMessage(window, MSG_NESTED);
        shared.nestedRunning.waitFor(20s);
        postMessage(window, MSG_QUIT, 3);
    });
    EXPECT_EQ(code, 3);
    EXPECT_EQ(shared.nestedEnded, 1);
}
