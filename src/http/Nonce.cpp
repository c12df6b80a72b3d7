#include "http/Nonce.h"

#include "http/Crypto.h"
#include "http/Random.h"
#include "http/UrlCoding.h"
#include "platform/Guid.h"

#include <array>
#include <cstdio>

namespace http {
namespace {

constexpr std::string_view privateText = "0d4e7a19c3b85f62e1a09d7c4b3f8265";

} // namespace

std::string makeNonce(std::uint64_t seconds)
{
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(seconds));
    std::string hashed(digits, 16);
    hashed += privateText;
    hashed += '\0';  // the digest covers the terminating zero byte as well
    return std::string(digits, 16) + md5Hex(hashed);
}

std::optional<std::uint64_t> nonceTime(std::string_view nonce)
{
    if (nonce.size() < 16)
        return std::nullopt;
    std::uint64_t seconds = 0;
    for (char c : nonce.substr(0, 16)) {
        int value = hexDigitValue(c);
        if (value < 0)
            return std::nullopt;
        seconds = seconds << 4 | static_cast<std::uint64_t>(value);
    }
    return seconds;
}

bool isOwnNonce(std::string_view nonce)
{
    std::optional<std::uint64_t> seconds = nonceTime(nonce);
    return seconds && makeNonce(*seconds) == nonce;
}

std::string makeOpaque()
{
    std::array<std::uint32_t, 2> words{};
    randomWords(words);
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", words[1], words[0]);
    return text;
}

std::string newSessionId()
{
    return platform::newGuidText();
}

} // namespace http
