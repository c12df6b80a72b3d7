#include "PlayerTestSupport.h"

#include "player/PlayerModel.h"
#include "player/SimulatedPlayback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

using namespace player;
using player::test::ManualClock;

namespace {

PlaylistEntry entry(const std::string& name, int lengthMs = 10000)
{
    PlaylistEntry e;
    e.file = "/music/" + name + ".mp3";
    e.title = name;
    e.lengthMs = lengthMs;
    return e;
}

struct Fixture {
    explicit Fixture(int entries, int lengthMs = 10000, std::uint32_t seed = 7) : model(clock, audio, seed, log)
    {
        for (int i = 0; i < entries; ++i)
            model.append(entry("t" + std::to_string(i), lengthMs));
        model.setClean();
    }
    ManualClock clock;
    SimulatedPlayback audio{clock};
    std::ostringstream log;
    PlayerModel model;
};

} // namespace

TEST(PlayerModel, EntryEndingStartsTheNextAndTheListEndStops)
{
    Fixture f(3);
    f.model.play();
    f.clock.advance(9999);
    EXPECT_EQ(f.model.position(), 0);
    EXPECT_EQ(f.model.elapsedMs(), 9999);
    f.clock.advance(2);
    EXPECT_EQ(f.model.position(), 1);
    EXPECT_EQ(f.model.elapsedMs(), 1);  // the overshoot carries into the next entry
    EXPECT_EQ(f.model.state(), PlayState::playing);

    // Both remaining entries end while nobody looks.
    f.clock.advance(25000);
    EXPECT_EQ(f.model.state(), PlayState::stopped);
    EXPECT_EQ(f.model.position(), 2);  // stops on the last entry
    EXPECT_EQ(f.model.elapsedMs(), 0);
    EXPECT_FALSE(f.model.playlist().isDirty());  // playing changes no entry
}

TEST(PlayerModel, RepeatWrapsToTheFirstEntry)
{
    Fixture f(2);
    f.model.setRepeat(true);
    f.model.play();
    f.clock.advance(20500);
    EXPECT_EQ(f.model.position(), 0);
    EXPECT_EQ(f.model.elapsedMs(), 500);
    EXPECT_EQ(f.model.state(), PlayState::playing);

    // A list of one entry repeats it.
    Fixture one(1);
    one.model.setRepeat(true);
    one.model.play();
    one.clock.advance(35000);
    EXPECT_EQ(one.model.position(), 0);
    EXPECT_EQ(one.model.elapsedMs(), 5000);
}

TEST(PlayerModel, ShufflePlaysEveryEntryOncePerPass)
{
    for (std::uint32_t seed : {1u, 2u, 3u, 99u}) {
        Fixture f(5, 10000, seed);
        f.model.setPosition(2);
        f.model.setShuffle(true);
        f.model.play();
        std::vector<int> played{f.model.position()};
        for (int i = 0; i < 4; ++i) {
            f.clock.advance(10000);
            played.push_back(f.model.position());
        }
        EXPECT_EQ(played.front(), 2) << seed;
        EXPECT_EQ(std::set<int>(played.begin(), played.end()).size(), 5u) << seed;
        f.clock.advance(10000);
        EXPECT_EQ(f.model.state(), PlayState::stopped) << seed;  // repeat off: one pass

        // With repeat a new pass follows, and it does not start with the entry just played.
        f.model.setRepeat(true);
        f.model.play();
        int last = f.model.position();
        f.clock.advance(10000);
        EXPECT_EQ(f.model.state(), PlayState::playing) << seed;
        EXPECT_NE(f.model.position(), last) << seed;
    }
}

TEST(PlayerModel, ShuffleFollowsPlaylistChangesDuringAPass)
{
    Fixture f(4, 10000, 5);
    f.model.setShuffle(true);
    f.model.play();
    f.model.append(entry("late"));  // still to come in this pass
    f.model.remove(f.model.position() == 1 ? 2 : 1);
    std::multiset<std::string> played{f.model.playlist().at(f.model.position())->title};
    for (int i = 0; i < 3; ++i) {
        f.clock.advance(10000);
        ASSERT_EQ(f.model.state(), PlayState::playing);
        played.insert(f.model.playlist().at(f.model.position())->title);
    }
    f.clock.advance(10000);
    EXPECT_EQ(f.model.state(), PlayState::stopped);
    std::multiset<std::string> expected;
    for (int i = 0; i < f.model.playlist().size(); ++i)
        expected.insert(f.model.playlist().at(i)->title);
    EXPECT_EQ(played, expected);
    EXPECT_EQ(played.count("late"), 1u);
}

TEST(PlayerModel, TransportPauseSeekAndSkip)
{
    Fixture f(3);
    EXPECT_EQ(f.model.seek(1000), -1);  // nothing plays
    f.model.skip(5000);
    EXPECT_EQ(f.model.elapsedMs(), 0);

    f.model.play();
    f.clock.advance(3000);
    f.model.pause();
    f.clock.advance(60000);  // paused: the clock stands
    EXPECT_EQ(f.model.state(), PlayState::paused);
    EXPECT_EQ(f.model.elapsedMs(), 3000);
    f.model.pause();  // toggles back
    f.clock.advance(1000);
    EXPECT_EQ(f.model.elapsedMs(), 4000);

    f.model.skip(5000);
    EXPECT_EQ(f.model.elapsedMs(), 9000);
    f.model.skip(-20000);
    EXPECT_EQ(f.model.elapsedMs(), 0);
    EXPECT_EQ(f.model.seek(7500), 0);
    EXPECT_EQ(f.model.elapsedMs(), 7500);
    f.model.skip(5000);  // past the end: the next entry starts
    EXPECT_EQ(f.model.position(), 1);
    EXPECT_EQ(f.model.elapsedMs(), 0);
    EXPECT_EQ(f.model.seek(10000), 1);
    EXPECT_EQ(f.model.position(), 2);

    f.clock.advance(2000);
    f.model.play();  // playing: starts over
    EXPECT_EQ(f.model.elapsedMs(), 0);
    f.model.stop();
    EXPECT_EQ(f.model.state(), PlayState::stopped);
    EXPECT_EQ(f.model.position(), 2);
    f.model.pause();  // nothing to pause
    EXPECT_EQ(f.model.state(), PlayState::stopped);

    // An entry of unknown length plays until it is stopped.
    Fixture endless(0);
    endless.model.append(entry("stream", -1));
    endless.model.play();
    endless.clock.advance(3'600'000);
    EXPECT_EQ(endless.model.state(), PlayState::playing);
    EXPECT_EQ(endless.model.currentLengthMs(), -1);
    EXPECT_EQ(endless.model.seek(5000), 0);
}

TEST(PlayerModel, NextAndPreviousWrapAndKeepAStoppedPlayerStopped)
{
    Fixture f(3);
    f.model.previous();
    EXPECT_EQ(f.model.position(), 2);
    EXPECT_EQ(f.model.state(), PlayState::stopped);
    f.model.next();
    EXPECT_EQ(f.model.position(), 0);
    f.model.play();
    f.clock.advance(4000);
    f.model.next();
    EXPECT_EQ(f.model.position(), 1);
    EXPECT_EQ(f.model.elapsedMs(), 0);
    EXPECT_EQ(f.model.state(), PlayState::playing);

    Fixture empty(0);
    empty.model.next();
    empty.model.play();
    EXPECT_EQ(empty.model.state(), PlayState::stopped);
    EXPECT_EQ(empty.model.position(), 0);
    EXPECT_EQ(empty.model.currentLengthMs(), -1);
}

TEST(PlayerModel, PlaylistChangesMoveThePositionAndSetTheChangedFlag)
{
    struct Case {
        const char* what;
        std::function<void(PlayerModel&)> change;
        int position;  // afterwards, with entry 2 of 5 current and playing for 4 s
        int elapsed;
        bool dirty;
    };
    const Case cases[] = {
        {"remove before", [](PlayerModel& m) { m.remove(0); }, 1, 4000, true},
        {"remove after", [](PlayerModel& m) { m.remove(4); }, 2, 4000, true},
        {"remove current", [](PlayerModel& m) { m.remove(2); }, 2, 0, true},
        {"remove out of range", [](PlayerModel& m) { m.remove(5); }, 2, 4000, false},
        {"swap", [](PlayerModel& m) { m.swap(2, 3); }, 2, 4000, true},
        {"swap out of range", [](PlayerModel& m) { m.swap(2, 9); }, 2, 4000, false},
        {"append", [](PlayerModel& m) { m.append(entry("x")); }, 2, 4000, true},
        {"set position keeps the clock", [](PlayerModel& m) { m.setPosition(3); }, 3, 4000, false},
        {"set position out of range", [](PlayerModel& m) { m.setPosition(-1); }, 2, 4000, false},
        {"volume and shuffle", [](PlayerModel& m) { m.setVolume(3); m.setShuffle(true); }, 2, 4000, false},
        {"clear", [](PlayerModel& m) { m.clear(); }, 0, 0, true},
    };
    for (const auto& c : cases) {
        Fixture f(5);
        f.model.setPosition(2);
        f.model.play();
        f.clock.advance(4000);
        c.change(f.model);
        EXPECT_EQ(f.model.position(), c.position) << c.what;
        EXPECT_EQ(f.model.elapsedMs(), c.elapsed) << c.what;
        EXPECT_EQ(f.model.playlist().isDirty(), c.dirty) << c.what;
        f.model.setClean();
        EXPECT_FALSE(f.model.playlist().isDirty()) << c.what;
    }

    // Removing the last entry while it plays leaves the new last one current;
    // removing the only entry stops.
    Fixture f(2);
    f.model.setPosition(1);
    f.model.play();
    f.model.remove(1);
    EXPECT_EQ(f.model.position(), 0);
    EXPECT_EQ(f.model.state(), PlayState::playing);
    f.model.remove(0);
    EXPECT_EQ(f.model.state(), PlayState::stopped);
    EXPECT_EQ(f.model.playlist().size(), 0);
}

TEST(PlayerModel, VolumeIsClampedToItsRange)
{
    Fixture f(0);
    EXPECT_EQ(f.model.volume(), 255);
    for (auto [set, got] : {std::pair{0, 0}, {128, 128}, {300, 255}, {-5, 0}}) {
        f.model.setVolume(set);
        EXPECT_EQ(f.model.volume(), got) << set;
    }
}

TEST(Playlist, HandedOutTextsOutliveSwapsAndRemovalForAWhile)
{
    ManualClock clock;
    Playlist list(clock);
    for (const char* name : {"a", "b", "c"})
        list.append(PlaylistEntry{std::string("/m/") + name, name, 1000, 0, 0, 0});
    const char* file = list.fileText(1);
    const char* title = list.titleText(1);
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file, "/m/b");
    EXPECT_EQ(list.fileText(3), nullptr);
    EXPECT_EQ(list.titleText(-1), nullptr);

    list.swap(0, 1);  // the entry moves, its text does not
    EXPECT_EQ(list.fileText(0), file);
    list.remove(0);
    list.clear();
    // Still readable right after (a caller on another thread may be copying).
    EXPECT_STREQ(file, "/m/b");
    EXPECT_STREQ(title, "b");
    EXPECT_EQ(list.retainedCount(), 3u);

    clock.advance(Playlist::retention + 1);
    list.append(PlaylistEntry{"/m/d", "d", 1000, 0, 0, 0});
    list.remove(0);  // retiring again lets the old ones go
    EXPECT_EQ(list.retainedCount(), 1u);
}

TEST(PlayerModel, AnotherEntryChosenWhilePausedPlaysFromItsStart)
{
    Fixture f(3);
    f.model.play();
    f.clock.advance(4000);
    f.model.pause();
    f.model.setPosition(2);
    EXPECT_EQ(f.model.elapsedMs(), 0);
    f.model.play();
    EXPECT_EQ(f.model.elapsedMs(), 0);
    f.clock.advance(9999);
    EXPECT_EQ(f.model.position(), 2);  // the new entry runs its whole length
    EXPECT_EQ(f.model.state(), PlayState::playing);

    // The same entry made current again (an editor moved it) resumes where it stood.
    f.model.pause();
    f.model.setPosition(2);
    f.model.pause();
    EXPECT_EQ(f.model.elapsedMs(), 9999);
}
