#pragma once

#include <string>
#include <string_view>

namespace http {

/// Standard Base64 (alphabet A-Z a-z 0-9 + /, "=" padding, no line breaks).
std::string base64(std::string_view bytes);

/// The MD5 digest of `bytes` as 32 lower-case hexadecimal digits; empty when
/// the crypto library cannot compute it.
std::string md5Hex(std::string_view bytes);

/// Compares two texts in time that depends only on their lengths, so a
/// secret's matching prefix cannot be timed.
bool equalSecret(std::string_view a, std::string_view b);

} // namespace http
