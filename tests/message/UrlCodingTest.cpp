#include "message/UrlCoding.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(UrlCoding, Decode)
{
    auto check = [](std::string text, const std::string& expected) {
        std::string original = text;
        http::urlDecode(text);
        EXPECT_EQ(text, expected) << original;
    };
    check("%2541", "%41");  // decoding goes on after the produced byte
    check("%41%42c", "ABc");
    check("a+b", "a+b");
    check("%e4%C3%Ff", "\xe4\xc3\xff");
    check("%00x", "\0x"s);
    check("%%41", "%A");
    check("%4", "%4");
    check("%", "%");
    check("abc%", "abc%");
    check("%zz%4g%g4", "%zz%4g%g4");
    check("100%", "100%");
    check("", "");
}

TEST(UrlCoding, Encode)
{
    EXPECT_EQ(http::urlEncode("a b/c.mp3"), "a%20b%2fc%2emp3");
    EXPECT_EQ(http::urlEncode("AZaz09-_~+"), "AZaz09%2d%5f%7e%2b");
    EXPECT_EQ(http::urlEncode("\xc3\xa9\x80\xff"), "%c3%a9%80%ff");
    EXPECT_EQ(http::urlEncode("\0"s), "%00");
    EXPECT_EQ(http::urlEncode(""), "");
}

TEST(UrlCoding, EncodedBytesDecodeBack)
{
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    std::string text = http::urlEncode(every);
    EXPECT_EQ(text.find_first_not_of("%0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"),
              std::string::npos);
    http::urlDecode(text);
    EXPECT_EQ(text, every);
}
