#include "player/PlayerState.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

using namespace player;

namespace {

std::string stateLine(int entries, int current = 0, const std::string& volume = "77")
{
    return "#TUNELET-PLAYER:entries=" + std::to_string(entries) + " current=" + std::to_string(current) +
           " position=1500 volume=" + volume + " shuffle=1 repeat=0 transport=paused\n";
}

std::string entries(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "#EXTINF:3,t\n/m/" + std::to_string(i) + ".wav\n";
    return out;
}

} // namespace

TEST(PlayerState, WhatIsWrittenReadsBackLessWhatAnM3uCannotHold)
{
    PlayerState written;
    written.entries = {
        {"/m/a.wav", "A\nB", 215}, {"/m/line\nbreak.wav", "x", 1}, {"#m.wav", "x", 1}, {"http://h/d?p=%2f", "", -1}};
    written.current = 3;
    written.positionMs = 61234;
    written.volume = 77;
    written.repeat = true;
    written.transport = PlayerState::Transport::paused;
    PlayerState read;
    std::string error;
    ASSERT_TRUE(read.parse(written.text(), error)) << error;
    ASSERT_EQ(read.entries.size(), 2u);
    EXPECT_EQ(read.entries[0].title, "A B");
    EXPECT_EQ(read.entries[1].file, "http://h/d?p=%2f");
    EXPECT_EQ(read.entries[1].lengthSeconds, -1);
    EXPECT_EQ(read.current, 1);  // the same entry, past the ones left out
    EXPECT_EQ(std::tuple(read.positionMs, read.volume, read.shuffle, read.repeat, read.transport),
              std::tuple(61234, 77, false, true, PlayerState::Transport::paused));
    EXPECT_EQ(read.text(), written.text());
}

TEST(PlayerState, AnythingButAWholeFileIsRefusedAndChangesNothing)
{
    const std::string whole = "#EXTM3U\n" + entries(2) + stateLine(2, 1);
    const std::string largest = "#EXTM3U\n" + entries(50000);
    struct Case {
        std::string text;
        bool reads;
    } cases[] = {
        {whole, true},
        {"", false},
        {whole.substr(0, whole.size() - 1), false},      // cut in the last line
        {whole.substr(0, whole.size() / 2), false},      // cut in the list
        {"#EXTM3U\n" + entries(2), false},               // no state line
        {"#EXTM3U \n" + entries(2) + stateLine(2), false},
        {"#EXTM3U\n" + entries(2) + stateLine(3), false},  // the count disagrees
        {"#EXTM3U\n" + entries(2) + stateLine(2, 2), false},
        {"#EXTM3U\n" + entries(2) + stateLine(2, 0, "256"), false},
        {"#EXTM3U\n" + entries(2) + stateLine(2, 0, "x"), false},
        {"#EXTM3U\n" + entries(2) + stateLine(2) + "/m/late.wav\n", false},
        {"#EXTM3U\n/m/bare.wav\n" + stateLine(1), false},
        {std::string("#EXTM3U\n#EXTINF:3,t\n/m/a") + '\0' + "b.wav\n" + stateLine(1), false},
        {"#EXTM3U\n" + stateLine(0), true},
        {"#EXTM3U\n" + stateLine(0, 1), false},
        {"#EXTM3U\n" + entries(1) + "#TUNELET-PLAYER:entries=1 " + stateLine(1).substr(16), false},  // a key twice
        {largest + stateLine(50000), true},
        {largest + entries(1) + stateLine(50001), false},
    };
    for (const Case& c : cases) {
        PlayerState state;
        state.volume = 3;
        std::string error;
        EXPECT_EQ(state.parse(c.text, error), c.reads) << c.text.substr(0, 120);
        EXPECT_EQ(state.volume, c.reads ? 77 : 3);
        EXPECT_EQ(error.empty(), c.reads) << error;
    }
}
