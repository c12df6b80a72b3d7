// What the dialog makes of its text controls, and how it words the indexer's
// state.
#include "settings/ControlValues.h"

#include <gtest/gtest.h>

#include <optional>

using host::addressFromControl;

TEST(ControlValues, NumbersAreTakenOnlyInRange)
{
    const struct {
        const char* text;
        std::optional<std::int32_t> port;
        std::optional<std::int32_t> timeout;
    } cases[] = {
        {"5151", 5151, 5151},
        {" 80 ", 80, 80},
        {"65535", 65535, 65535},
        {"65536", std::nullopt, 65536},
        {"0", std::nullopt, 0},
        {"2147483647", std::nullopt, 2147483647},
        {"2147483648", std::nullopt, std::nullopt},
        {"99999999999999999999", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
        {"abc", std::nullopt, std::nullopt},
        {"12a", std::nullopt, std::nullopt},
        {"-1", std::nullopt, std::nullopt},
        {"+1", std::nullopt, std::nullopt},
        {"1 2", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(host::portFromText(c.text), c.port) << c.text;
        EXPECT_EQ(host::timeoutFromText(c.text), c.timeout) << c.text;
    }
}

TEST(ControlValues, AddressFieldsLeftBlankCountAsZero)
{
    EXPECT_EQ(addressFromControl("192.168.0.10"), "192.168.0.10");
    EXPECT_EQ(addressFromControl(""), "0.0.0.0");
    EXPECT_EQ(addressFromControl("10..1"), "10.0.1.0");
    EXPECT_EQ(addressFromControl("010.1.1.1"), "10.1.1.1");
    for (const char* bad : {"256.1.1.1", "1.2.3.4.5", "1.2.3.1000", "a.b.c.d", "1. 2.3.4"})
        EXPECT_EQ(addressFromControl(bad), std::nullopt) << bad;
}

TEST(ControlValues, IndexReport)
{
    EXPECT_EQ(host::indexReport(10, 59), "Last index of 10 files took \n59 seconds");
    EXPECT_EQ(host::indexReport(1200, 3725), "Last index of 1200 files took \n1 hours 2 minutes 5 seconds");
    EXPECT_EQ(host::indexReport(5, 7200), "Last index of 5 files took \n2 hours ");
    EXPECT_EQ(host::indexReport(5, 60), "Last index of 5 files took \n1 minutes ");
    EXPECT_EQ(host::indexReport(5, 0), "");
    EXPECT_EQ(host::indexReport(5, -3), "");
}

TEST(ControlValues, TextLimitsAndLineBreaks)
{
    EXPECT_EQ(host::limitBytes("abcdef", 4), "abcd");
    EXPECT_EQ(host::limitBytes("ab\xC3\xA9z", 3), "ab");  // é is not split
    EXPECT_EQ(host::limitBytes("ab\xC3\xA9z", 4), "ab\xC3\xA9");
    EXPECT_EQ(host::toCrLf("a\nb\r\nc"), "a\r\nb\r\nc");
    EXPECT_EQ(host::fromCrLf("a\r\nb\r\n"), "a\nb\n");
}

TEST(ControlValues, IndexerStateTexts)
{
    const struct {
        host::IndexerState state;
        const char* text;
    } cases[] = {
        {{true, true, 10, 59, true}, "Last index of 10 files took \n59 seconds"},
        {{true, true, 6, 0, true}, "Last index of 6 files took \nless than a second"},
        {{true, false, 3, 0, false}, "The last index did not complete."},
        {{false, false, 0, 0, false}, "No search index yet: Reindex builds it."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(host::indexStatusText(c.state), c.text);
}
