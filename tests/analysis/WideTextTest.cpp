#include "analysis/WideText.h"

#include <gtest/gtest.h>

#include <string>

TEST(WideText, StoredBytesRoundTripWhole)
{
    std::string every;
    for (int b = 1; b < 256; ++b)
        every += static_cast<char>(b);
    const std::wstring wide = analysis::widenBytes(every);
    ASSERT_EQ(wide.size(), every.size());
    EXPECT_EQ(wide[0xE8], static_cast<wchar_t>(0xE9));
    EXPECT_EQ(analysis::narrowBytes(wide), every);
}

TEST(WideText, Utf8DecodesAndInvalidBytesEscapeOneToOne)
{
    struct Case {
        std::string bytes;
        std::wstring text;
    };
    const Case cases[] = {
        {"abc", L"abc"},
        {"\xC3\xB6", L"\u00F6"},
        {"\xE6\x9D\xB1", L"\u6771"},
        {"\xF0\x9F\x8E\xB5", L"\U0001F3B5"},
        {"\xE9t\xE9", L"\xDCE9t\xDCE9"},
        {"\xC0\xAF", L"\xDCC0\xDCAF"},
        {"\xED\xA0\x80", L"\xDCED\xDCA0\xDC80"},
        {"\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80"},
        {"\xE6\x9D", L"\xDCE6\xDC9D"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(analysis::decodeUtf8(c.bytes), c.text) << c.bytes;
        EXPECT_EQ(analysis::encodeUtf8(c.text), c.bytes) << c.bytes;
    }
}
