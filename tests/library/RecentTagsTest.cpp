// The cache of read tags: a file is found only at the size and time it was
// read at, an unreadable file is remembered, and the least recently used
// file goes when the cache is full.
#include "library/RecentTags.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using library::RecentTags;

library::TrackTags titled(const std::string& title)
{
    library::TrackTags tags;
    tags.title = title;
    return tags;
}

} // namespace

TEST(RecentTags, FindsByStampAndDropsTheOldest)
{
    RecentTags recent(2);
    const RecentTags::Stamp at{10, 100};
    recent.store("/a", at, titled("A"));
    recent.store("/b", at, std::nullopt);
    struct Step {
        const char* store;    // stored first, when not null
        const char* path;
        RecentTags::Stamp stamp;
        bool found;
        std::string title;
    };
    const std::vector<Step> steps = {
        {nullptr, "/a", at, true, "A"},
        {nullptr, "/a", {11, 100}, false, ""},     // grown
        {nullptr, "/a", {10, 101}, false, ""},     // written again
        {nullptr, "/b", at, true, ""},             // unreadable, remembered
        {nullptr, "/a", at, true, "A"},
        {"/c", "/b", at, false, ""},               // /b was used longest ago
        {nullptr, "/a", at, true, "A"},
        {nullptr, "/c", at, true, "C"},
    };
    for (const Step& step : steps) {
        if (step.store)
            recent.store(step.store, at, titled("C"));
        bool found = false;
        const std::optional<library::TrackTags> tags = recent.find(step.path, step.stamp, found);
        EXPECT_EQ(found, step.found) << step.path;
        EXPECT_EQ(tags ? tags->title : "", step.title) << step.path;
    }
    EXPECT_EQ(recent.size(), 2u);
}
