#include "platform/WakeWord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace std::chrono_literals;
using Clock = platform::WakeWord::Clock;

TEST(WakeWord, AWakeBeforeOrDuringTheSleepEndsItAndADeadlineEndsItUnwoken)
{
    platform::WakeWord word;
    // Woken between reading the word and sleeping: the sleep returns at once.
    const std::uint32_t seen = word.value();
    word.wake();
    EXPECT_TRUE(word.sleep(seen, Clock::now() + 30s));

    // Woken from another thread while asleep, as often as it takes: the
    // state it waits for is what it checks, the word only says to look.
    std::atomic<bool> done{false};
    std::thread waker([&] {
        done = true;
        word.wake();
    });
    while (!done) {
        const std::uint32_t now = word.value();
        if (done)
            break;
        ASSERT_TRUE(word.sleep(now, Clock::now() + 30s));
    }
    waker.join();

    // Nobody wakes it: the deadline, passed or to come, ends it.
    EXPECT_FALSE(word.sleep(word.value(), Clock::now() - 1s));
    EXPECT_FALSE(word.sleep(word.value(), Clock::now() + 20ms));
}
