#include "http/Nonce.h"

#include "http/Crypto.h"
#include "message/UrlCoding.h"
#include "platform/Guid.h"
#include "platform/RandomSource.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace http {
namespace {

constexpr std::size_t secretSize = 32;
constexpr std::uint64_t allowedSkewSeconds = 5;

/// Drawn once per process from the system's random source, so no two
/// installations (nor two runs) accept each other's nonces.
const std::string& nonceSecret()
{
    static const std::string secret = [] {
        std::array<std::uint32_t, secretSize / 4> words{};
        platform::randomWords(words);
        return std::string(reinterpret_cast<const char*>(words.data()), secretSize);
    }();
    return secret;
}

} // namespace

std::string makeNonce(std::uint64_t seconds)
{
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(seconds));
    std::string hashed(digits, 16);
    hashed += nonceSecret();
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

NonceAge nonceAge(std::string_view nonce, std::uint64_t nowSeconds)
{
    if (!isOwnNonce(nonce))
        return NonceAge::foreign;
    std::uint64_t made = *nonceTime(nonce);
    bool fresh = made <= nowSeconds + allowedSkewSeconds
        && (made >= nowSeconds || nowSeconds - made <= nonceLifetimeSeconds);
    return fresh ? NonceAge::fresh : NonceAge::stale;
}

std::uint64_t secondsSinceEpoch()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

std::string makeOpaque()
{
    std::array<std::uint32_t, 2> words{};
    platform::randomWords(words);
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", words[1], words[0]);
    return text;
}

std::string newSessionId()
{
    return platform::newGuidText();
}

} // namespace http
