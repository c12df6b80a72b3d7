#include "webapp/PlaylistClients.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using webapp::PlaylistClients;
using namespace std::chrono_literals;

namespace {

const PlaylistClients::Clock::time_point start{};

} // namespace

TEST(PlaylistClients, IdsUnseenForTheLifetimeAreDropped)
{
    PlaylistClients clients(10, 30min);
    clients.markCurrent("old", start);
    clients.markCurrent("kept", start);
    clients.markCurrent("kept", start + 20min);  // seen again
    EXPECT_TRUE(clients.holdsCurrent("old", start + 30min));
    EXPECT_FALSE(clients.holdsCurrent("old", start + 31min));
    EXPECT_FALSE(clients.holdsCurrent("never", start));

    clients.markCurrent("new", start + 31min);
    EXPECT_EQ(clients.ids(), (std::vector<std::string>{"kept", "new"}));
    EXPECT_TRUE(clients.holdsCurrent("kept", start + 31min));
    clients.clear();
    EXPECT_FALSE(clients.holdsCurrent("kept", start + 31min));
}

TEST(PlaylistClients, PastTheCapacityTheLeastRecentlySeenGoes)
{
    PlaylistClients clients(3, 30min);
    clients.markCurrent("a", start);
    clients.markCurrent("b", start + 1s);
    clients.markCurrent("c", start + 2s);
    clients.markCurrent("a", start + 3s);
    clients.markCurrent("d", start + 4s);
    EXPECT_EQ(clients.ids(), (std::vector<std::string>{"a", "c", "d"}));

    // A flood of new ids, all within the lifetime, never grows it.
    PlaylistClients flooded;
    for (int i = 0; i < 20000; ++i)
        flooded.markCurrent(std::to_string(i), start + std::chrono::milliseconds(i));
    EXPECT_EQ(flooded.size(), PlaylistClients::defaultCapacity);
    EXPECT_TRUE(flooded.holdsCurrent("19999", start + 20s));
    EXPECT_FALSE(flooded.holdsCurrent("0", start + 20s));
}
