#include "http/Admission.h"

#include <gtest/gtest.h>

using http::addressMatches;
using http::isAddressAllowed;
using http::splitText;

TEST(Admission, PatternsMatchPartByPart)
{
    struct Case {
        const char* pattern;
        const char* address;
        bool matches;
    };
    const Case cases[] = {
        {"192.168.0.*", "192.168.0.7", true},
        {"192.168.0.*", "192.168.1.7", false},
        {"192.168.0.7", "192.168.0.7", true},
        {"*.*.*.*", "8.8.4.4", true},
        {"*.168.*.7", "192.168.44.7", true},
        {"*.168.*.7", "192.168.44.8", false},
        // Three parts never match, not even a wildcard.
        {"192.168.*", "192.168.0.7", false},
        {"*.*.*", "1.2.3.4", false},
        // Only the first four parts of a longer pattern count.
        {"10.0.0.1.5", "10.0.0.1", true},
        {"10.0.0.2.1", "10.0.0.1", false},
        // Parts compare as text.
        {"10.0.0.010", "10.0.0.10", false},
        {"010.0.0.1", "10.0.0.1", false},
        {"1*.0.0.1", "10.0.0.1", false},
        {"**.0.0.1", "10.0.0.1", false},
        // Runs of dots are one separator, in pattern and address alike.
        {"10..0.0.1", "10.0.0.1", true},
        {"10.0.0.1", "10.0..0...1", true},
        {".10.0.0.1.", "10.0.0.1", true},
        // Addresses of other than four parts are never admitted.
        {"*.*.*.*", "10.0.0", false},
        {"*.*.*.*", "10.0.0.1.2", false},
        {"*.*.*.*", "", false},
        {"", "10.0.0.1", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(addressMatches(c.pattern, c.address), c.matches) << c.pattern << " vs " << c.address;
}

TEST(Admission, AllowedAndNotBlocked)
{
    struct Case {
        std::vector<std::string> allowed;
        std::vector<std::string> blocked;
        const char* address;
        bool admitted;
    };
    const Case cases[] = {
        {{"192.168.0.*"}, {}, "192.168.0.7", true},
        {{"192.168.0.*"}, {}, "192.168.1.7", false},
        {{"192.168.0.*"}, {"192.168.0.7"}, "192.168.0.7", false},
        {{"192.168.0.*"}, {"192.168.0.7"}, "192.168.0.8", true},
        // No allowed pattern: nobody gets in.
        {{}, {}, "127.0.0.1", false},
        {{}, {"1.2.3.4"}, "127.0.0.1", false},
        // Any allowed pattern may match, in any position.
        {{"10.*.*.*", "127.0.0.1"}, {}, "127.0.0.1", true},
        {{"*.*.*.*"}, {"*.*.*.*"}, "127.0.0.1", false},
        // A blocked pattern that can never match blocks nothing.
        {{"*.*.*.*"}, {"127.0.*"}, "127.0.0.1", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(isAddressAllowed(c.address, c.allowed, c.blocked), c.admitted) << c.address;
}

TEST(Admission, SplittingDropsEmptyParts)
{
    using List = std::vector<std::string>;
    EXPECT_EQ(splitText("  a\tb \r\n c  ", " \t\r\n"), (List{"a", "b", "c"}));
    EXPECT_EQ(splitText("", " "), List{});
    EXPECT_EQ(splitText("   ", " "), List{});
    EXPECT_EQ(splitText("x", " "), List{"x"});
    EXPECT_EQ(splitText("..1...2.", "."), (List{"1", "2"}));
    EXPECT_EQ(http::addressPatterns(" 1.2.3.4\t\r\n5.6.7.*\v\f"), (List{"1.2.3.4", "5.6.7.*"}));
}
