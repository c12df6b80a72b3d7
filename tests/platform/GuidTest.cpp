#include "platform/Guid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

TEST(Guid, TextIsLowerCaseHexInGroups)
{
    platform::Guid fixed{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                         0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
    EXPECT_EQ(platform::guidText(fixed), "00112233-4455-6677-8899-aabbccddeeff");

    std::regex shape("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string text = platform::newGuidText();
        ASSERT_TRUE(std::regex_match(text, shape)) << text;
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
}
