#include "text/Decimal.h"

#include <gtest/gtest.h>

#include <limits>

TEST(Decimal, LeadingDigitsSaturateAtTheLimit)
{
    constexpr std::uint64_t top = std::numeric_limits<std::uint64_t>::max();
    struct Case {
        std::string_view text;
        std::uint64_t limit;
        std::size_t digits;
        std::uint64_t value;
        bool over;
    };
    const Case cases[] = {
        {"", top, 0, 0, false},
        {"x1", top, 0, 0, false},
        {"007x", top, 3, 7, false},
        {"255", 255, 3, 255, false},
        {"256", 255, 3, 255, true},
        {"2550", 255, 4, 255, true},
        {"9", 8, 1, 8, true},  // a limit below the first digit
        {"0", 0, 1, 0, false},
        {"18446744073709551615", top, 20, top, false},
        {"18446744073709551616", top, 20, top, true},
        {"99999999999999999999999", top, 23, top, true},
        {"2147483648", 2147483648u, 10, 2147483648u, false},
        {"2147483649", 2147483648u, 10, 2147483648u, true},
    };
    for (const Case& c : cases) {
        const text::DecimalRun run = text::leadingDecimal(c.text, c.limit);
        EXPECT_EQ(run.digits, c.digits) << c.text;
        EXPECT_EQ(run.value, c.value) << c.text;
        EXPECT_EQ(run.overLimit, c.over) << c.text;
    }
}

TEST(Decimal, WholeTextOrNothing)
{
    EXPECT_EQ(text::wholeDecimal("65535", 65535), 65535u);
    EXPECT_EQ(text::wholeDecimal("0080", 65535), 80u);
    for (std::string_view bad : {"", "65536", "8o", " 80", "+80", "80 "})
        EXPECT_EQ(text::wholeDecimal(bad, 65535), std::nullopt) << bad;
}
