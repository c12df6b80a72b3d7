// The dispatcher's sender of woken connections against connections whose
// sends are steps of CPU work, all on one CPU: two threads of normal
// priority that hand work to each other all through a long fan-out (as a
// command goes from the client to the poller and on to the player's thread)
// never wait for more than a few of the sender's steps, not for its time
// slice.
#include "http/Dispatcher.h"
#include "platform/WakeupDescriptor.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sched.h>
#endif

using namespace std::chrono_literals;

namespace {

/// `cost` of CPU work.
void work(std::chrono::microseconds cost)
{
    const auto until = std::chrono::steady_clock::now() + cost;
    while (std::chrono::steady_clock::now() < until) {
    }
}

/// A listener whose every send is a step of CPU work, counted in `steps`.
class BusyListener final : public http::Connection {
public:
    explicit BusyListener(std::atomic<int>& steps) : steps(steps) {}
    Served serveAvailable() override { return Served::idle; }
    Served resumeAnswer() override { return Served::idle; }
    Served resumeSending() override { return Served::idle; }
    Served sendDue() override
    {
        work(25us);
        ++steps;
        return Served::idle;
    }
    void markIdle() override {}
    int descriptor() const override { return quiet.descriptor(); }

private:
    std::atomic<int>& steps;
    platform::WakeupDescriptor quiet;  // never signalled: no input ever comes
};

#ifdef __linux__
/// Keeps the calling thread, and every thread it makes meanwhile, on one
/// CPU, so that they run only when the others let them.
class OneCpu {
public:
    OneCpu()
    {
        if (::sched_getaffinity(0, sizeof before, &before) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        for (int cpu = 0; cpu < CPU_SETSIZE && !CPU_COUNT(&one); ++cpu)
            if (CPU_ISSET(cpu, &before))
                CPU_SET(cpu, &one);
        pinned = ::sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~OneCpu()
    {
        if (pinned)
            ::sched_setaffinity(0, sizeof before, &before);
    }
    OneCpu(const OneCpu&) = delete;
    OneCpu& operator=(const OneCpu&) = delete;
    bool held() const { return pinned; }

private:
    cpu_set_t before{};
    bool pinned = false;
};
#endif

class NoOwner final : public http::ConnectionOwner {
public:
    void connectionEnded(http::Connection&) override {}
    std::chrono::milliseconds endIdleConnections() override { return 1s; }
};

TEST(Sender, GivesWayAtOnceToThreadsWokenDuringAFanOut)
{
#ifndef __linux__
    GTEST_SKIP() << "one CPU for every thread is set up on Linux only";
#else
    OneCpu pinned;
    ASSERT_TRUE(pinned.held());
    constexpr int listeners = 200;  // 5 ms of sends
    std::atomic<int> steps{0};
    NoOwner owner;
    std::vector<std::unique_ptr<BusyListener>> connections;
    http::Dispatcher dispatcher(owner);
    ASSERT_TRUE(dispatcher.start());
    for (int i = 0; i < listeners; ++i) {
        connections.push_back(std::make_unique<BusyListener>(steps));
        connections.back()->assignSerial(static_cast<std::uint64_t>(i) + 1);
        ASSERT_TRUE(dispatcher.watch(*connections.back()));
    }
    // The pair hands a turn back and forth until the fan-out is done; each
    // notes how many sends came between the other's hand-over and its start.
    constexpr int over = 2;
    std::atomic<int> turn{0};
    std::atomic<int> handedAtStep{0};
    std::atomic<int> mostBetween{0};
    auto takeTurns = [&](int mine) {
        for (;;) {
            int now = turn.load();
            while (now != mine && now != over) {
                turn.wait(now);
                now = turn.load();
            }
            if (now == over)
                return;
            const int between = steps.load() - handedAtStep.load();
            mostBetween = std::max(mostBetween.load(), between);
            work(20us);
            handedAtStep = steps.load();
            if (!turn.compare_exchange_strong(now, 1 - mine))
                return;
            turn.notify_one();
        }
    };
    std::thread first(takeTurns, 0), second(takeTurns, 1);
    for (int i = 0; i < listeners; ++i)
        dispatcher.wake(static_cast<std::uint64_t>(i) + 1);
    EXPECT_TRUE(testing_support::waitUntil([&] { return steps.load() == listeners; })) << "every listener sends";
    turn = over;
    turn.notify_all();
    first.join();
    second.join();
    dispatcher.finish();
    // Kept from the CPU for the sender's time slice, the pair would see
    // dozens of sends between two of its turns.
    EXPECT_LE(mostBetween.load(), 4) << "sends between two turns of the pair";
#endif
}

} // namespace
