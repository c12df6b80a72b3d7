// The readiness set and the one-shot timer over loopback sockets, as each
// system answers them: arrivals once per arrival, levels while they last.
#include "platform/Readiness.h"
#include "platform/Socket.h"
#include "platform/WakeupDescriptor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace {

constexpr std::uint64_t wakeKey = 1;
constexpr std::uint64_t connectionKey = 2;
constexpr std::uint64_t timerKey = 3;

std::set<std::uint64_t> waitFor(platform::ReadinessSet& set)
{
    std::uint64_t keys[8];
    const int count = set.wait(keys);
    return count < 0 ? std::set<std::uint64_t>{} : std::set<std::uint64_t>(keys, keys + count);
}

/// Reads what has arrived, as whoever takes an arrival must.
std::string drain(int socket)
{
    std::string text;
    char buffer[64];
    for (long got; (got = platform::receiveAvailable(socket, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

} // namespace

TEST(ReadinessSet, ReportsEachArrivalOnceLevelsWhileTheyLastAndRoomToSend)
{
    const platform::UniqueFd listener = platform::listenTcp(platform::loopbackAddress(), 0);
    ASSERT_TRUE(listener);
    const platform::UniqueFd client = platform::connectTcp(platform::loopbackAddress(), platform::boundPort(listener.get()));
    std::string peer;
    const platform::UniqueFd server = platform::acceptSocket(listener.get(), peer);
    ASSERT_TRUE(client && server);

    platform::ReadinessSet set;
    platform::WakeupDescriptor wake;
    ASSERT_TRUE(set.isValid() && wake.isValid());
    ASSERT_TRUE(set.add(wake.descriptor(), wakeKey, platform::ReadinessSet::Watch::level));
    ASSERT_TRUE(set.add(server.get(), connectionKey));

    using Keys = std::set<std::uint64_t>;
    platform::sendAll(client.get(), "a");
    EXPECT_EQ(waitFor(set), Keys{connectionKey});
    wake.signal();  // one report for one arrival, even before it is read
    EXPECT_EQ(waitFor(set), Keys{wakeKey});
    EXPECT_EQ(drain(server.get()), "a");
    EXPECT_EQ(waitFor(set), Keys{wakeKey});  // a level stays until reset
    wake.reset();

    platform::sendAll(client.get(), "b");
    EXPECT_EQ(waitFor(set), Keys{connectionKey});
    EXPECT_EQ(drain(server.get()), "b");
    ASSERT_TRUE(set.watchWritable(server.get(), connectionKey, true));  // room already: reported at once
    EXPECT_EQ(waitFor(set), Keys{connectionKey | platform::ReadinessSet::writable});
    ASSERT_TRUE(set.watchWritable(server.get(), connectionKey, false));
    platform::shutdownSending(client.get());  // the end is an arrival too
    EXPECT_EQ(waitFor(set), Keys{connectionKey});
    set.remove(server.get());

    platform::OneShotTimer timer;
    ASSERT_TRUE(timer.isValid());
    ASSERT_TRUE(set.add(timer.descriptor(), timerKey, platform::ReadinessSet::Watch::level));
    timer.arm(std::chrono::milliseconds(20));
    EXPECT_EQ(waitFor(set), Keys{timerKey});
    timer.consume();
    wake.signal();
    EXPECT_EQ(waitFor(set), Keys{wakeKey});  // the consumed expiry is gone
}

// A connection's socket is removed and closed by whichever thread ends it,
// while another thread waits on the set: the wait goes on, whole, and still
// reports what comes later.
TEST(ReadinessSet, SocketsRemovedAndClosedWhileOthersWaitLeaveTheWaitsWhole)
{
    constexpr int waiters = 4;
    constexpr int rounds = 2000;
    platform::WakeupDescriptor stop;
    std::vector<std::unique_ptr<platform::ReadinessSet>> sets;
    for (int i = 0; i < waiters; ++i) {
        sets.push_back(std::make_unique<platform::ReadinessSet>());
        ASSERT_TRUE(sets.back()->isValid() && sets.back()->add(stop.descriptor(), wakeKey, platform::ReadinessSet::Watch::level));
    }
    std::atomic<int> failedWaits{0};
    std::vector<std::jthread> threads;
    for (auto& set : sets)
        threads.emplace_back([&failedWaits, &set = *set] {
            for (;;) {
                std::uint64_t keys[8];
                const int count = set.wait(keys);
                if (count < 0)
                    ++failedWaits;
                if (count <= 0 || std::find(keys, keys + count, wakeKey) != keys + count)
                    return;
            }
        });
    for (int round = 0; round < rounds; ++round) {
        std::vector<platform::WakeupDescriptor> sockets(waiters);
        for (int i = 0; i < waiters; ++i)
            ASSERT_TRUE(sets[static_cast<std::size_t>(i)]->add(sockets[static_cast<std::size_t>(i)].descriptor(), connectionKey));
        for (int i = 0; i < waiters; ++i)
            sets[static_cast<std::size_t>(i)]->remove(sockets[static_cast<std::size_t>(i)].descriptor());
    }  // each closed as it goes
    stop.signal();
    threads.clear();
    EXPECT_EQ(failedWaits.load(), 0);
}
