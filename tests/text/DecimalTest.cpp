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

TEST(Decimal, AtoiLikeReadsBlanksSignDigitsAndSaturates)
{
    const struct {
        std::string_view text;
        std::int32_t value;
    } cases[] = {
        {"215,Song", 215},
        {" \t\n\v\f\r+42x", 42},
        {"-1,Radio", -1},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-99999999999999999999999", -2147483647 - 1},
        {"", 0},
        {"x5", 0},
        {"+-5", 0},   // one sign at most
        {"- 5", 0},   // no blank after the sign
        {std::string_view("\0" "5", 2), 0},  // a zero byte is no blank
    };
    for (const auto& c : cases)
        EXPECT_EQ(text::atoiLike(c.text), c.value) << c.text;
    // Other blanks are chosen by the caller; a minus sign is reported apart.
    EXPECT_EQ(text::signedDecimal("\v7", 100, " \t").magnitude.digits, 0u);
    EXPECT_TRUE(text::signedDecimal(" -7", 100, " \t").negative);
}
