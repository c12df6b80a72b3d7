// The crypto wrapper's answers, the same on every system it is built for.
#include "http/Crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace http;

TEST(Crypto, Base64AndMd5MatchTheirStandards)
{
    const std::pair<std::string, std::string> base64Cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"alice:s3cret", "YWxpY2U6czNjcmV0"},
        {std::string("\xff\xfe\0", 3), "//4A"},
    };
    for (const auto& [in, out] : base64Cases)
        EXPECT_EQ(base64(in), out) << in;

    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_NE(md5Hex(std::string("a\0", 2)), md5Hex("a"));  // bytes after a zero count

    EXPECT_TRUE(equalSecret("abc", "abc"));
    EXPECT_FALSE(equalSecret("abc", "abd"));
    EXPECT_FALSE(equalSecret("abc", "ab"));
}
