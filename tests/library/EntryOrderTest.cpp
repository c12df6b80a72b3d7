#include "library/EntryOrder.h"

#include <gtest/gtest.h>

#include <algorithm>

using library::EntryOrder;
using library::FileTime;
using library::LibraryEntry;

namespace {

std::vector<std::string> sortedPaths(std::vector<LibraryEntry> entries, std::int32_t key, std::int32_t direction)
{
    std::sort(entries.begin(), entries.end(), EntryOrder(key, direction));
    std::vector<std::string> paths;
    for (const LibraryEntry& entry : entries)
        paths.push_back(entry.path);
    return paths;
}

} // namespace

TEST(EntryOrder, ByNameComparesTheFileNamePartByteForByte)
{
    const std::vector<LibraryEntry> entries = {
        {"/z/abc.mp3", 0, {}, 0},
        {"/a/b.mp3", 0, {}, 0},
        {"/m/B.mp3", 0, {}, 0},
        {"/m/ab", 0, {}, 0},
        {"/m/\xC3\xA9.mp3", 0, {}, 0},  // bytes above 0x7f after ASCII
    };
    EXPECT_EQ(sortedPaths(entries, 0, 0),
              (std::vector<std::string>{"/m/B.mp3", "/m/ab", "/z/abc.mp3", "/a/b.mp3", "/m/\xC3\xA9.mp3"}));
    EXPECT_EQ(sortedPaths(entries, 0, 1),
              (std::vector<std::string>{"/m/\xC3\xA9.mp3", "/a/b.mp3", "/z/abc.mp3", "/m/ab", "/m/B.mp3"}));
}

TEST(EntryOrder, ByModifiedAndBySize)
{
    const std::vector<LibraryEntry> entries = {
        {"low", 0, FileTime{0xFFFFFFFF, 1}, 1},
        {"high", 0, FileTime{0, 2}, 0xFFFFFFFF},
        {"least", 0, FileTime{5, 0}, 0x80000000},
    };
    EXPECT_EQ(sortedPaths(entries, 1, 0), (std::vector<std::string>{"least", "low", "high"}));
    EXPECT_EQ(sortedPaths(entries, 1, 1), (std::vector<std::string>{"high", "low", "least"}));
    EXPECT_EQ(sortedPaths(entries, 2, 0), (std::vector<std::string>{"low", "least", "high"}));
    EXPECT_EQ(sortedPaths(entries, 2, 1), (std::vector<std::string>{"high", "least", "low"}));
}

TEST(EntryOrder, EqualAndUnknownOrdersPutNothingFirst)
{
    const LibraryEntry a{"/x/a.mp3", 0, FileTime{1, 0}, 1};
    const LibraryEntry b{"/y/b.mp3", 0, FileTime{2, 0}, 2};
    const LibraryEntry sameName{"/other/a.mp3", 0, FileTime{1, 0}, 1};
    for (std::int32_t key = 0; key <= 2; ++key) {
        EXPECT_FALSE(EntryOrder(key, 0)(a, sameName)) << key;
        EXPECT_FALSE(EntryOrder(key, 1)(sameName, a)) << key;
        EXPECT_TRUE(EntryOrder(key, 0)(a, b)) << key;
        EXPECT_TRUE(EntryOrder(key, 1)(b, a)) << key;
        EXPECT_FALSE(EntryOrder(key, 2)(a, b)) << key;
        EXPECT_FALSE(EntryOrder(key, -1)(b, a)) << key;
    }
    for (std::int32_t key : {-1, 3, 7}) {
        EXPECT_FALSE(EntryOrder(key, 0)(a, b)) << key;
        EXPECT_FALSE(EntryOrder(key, 0)(b, a)) << key;
    }
}
