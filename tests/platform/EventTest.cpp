#include "platform/Event.h"
#include "platform/Ticks.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

TEST(Event, StaysSetUntilResetAndReleasesEveryWaiter)
{
    platform::Event event;
    EXPECT_FALSE(event.isSet());
    EXPECT_FALSE(event.waitFor(1ms));

    int released = 0;
    std::mutex m;
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            event.wait();
            std::lock_guard g(m);
            ++released;
        });
    event.set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released, 4);
    EXPECT_TRUE(event.waitFor(0ms));  // manual reset: still set
    event.reset();
    EXPECT_FALSE(event.isSet());

    platform::Event initially(true);
    EXPECT_TRUE(initially.isSet());
}

TEST(Ticks, AdvanceWithTheMonotonicClock)
{
    std::uint32_t before = platform::tickCount();
    std::this_thread::sleep_for(20ms);
    std::uint32_t elapsed = platform::tickCount() - before;  // unsigned difference survives a wrap
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 10000u);
}
