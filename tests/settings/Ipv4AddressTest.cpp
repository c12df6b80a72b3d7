#include "settings/Ipv4Address.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(Ipv4Address, ParsesDottedDecimalOnly)
{
    auto accepts = [](const char* text, unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
        std::uint32_t address = 0;
        ASSERT_TRUE(host::parseIPv4(text, address)) << text;
        unsigned char bytes[4];
        std::memcpy(bytes, &address, 4);
        EXPECT_EQ(bytes[0], a) << text;
        EXPECT_EQ(bytes[1], b) << text;
        EXPECT_EQ(bytes[2], c) << text;
        EXPECT_EQ(bytes[3], d) << text;
    };
    accepts("0.0.0.0", 0, 0, 0, 0);
    accepts("127.0.0.1", 127, 0, 0, 1);
    accepts("192.168.1.20", 192, 168, 1, 20);
    accepts("255.255.255.255", 255, 255, 255, 255);
    accepts(" 10.0.0.9\t", 10, 0, 0, 9);
    accepts("010.001.0.00", 10, 1, 0, 0);

    for (const char* text : {"", "1.2.3", "1.2.3.4.5", "256.0.0.1", "1.2.3.-4", "0x7f.0.0.1", "1.2.3.4:80",
                             "localhost", "1..2.3", "1.2.3.4.", ".1.2.3", "1 .2.3.4", "1.2.3.0004", "+1.2.3.4",
                             "1.2.3.4x", "9999999999.1.1.1"}) {
        std::uint32_t address = 0x12345678;
        EXPECT_FALSE(host::parseIPv4(text, address)) << text;
        EXPECT_EQ(address, 0x12345678u) << text;
    }
}

TEST(Ipv4Address, FormatIsTheInverseOfParse)
{
    for (const char* text : {"0.0.0.0", "127.0.0.1", "192.168.0.255", "255.255.255.255", "1.22.133.4"}) {
        std::uint32_t address = 0;
        ASSERT_TRUE(host::parseIPv4(text, address));
        EXPECT_EQ(host::formatIPv4(address), text);
    }
}
