#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace http {

/// The Digest nonce for a time in seconds since 1970: the 16 lower-case
/// hexadecimal digits of the time, then the MD5 (hexadecimal) of those digits,
/// the server's private text and one zero byte. 48 characters. Pure, so a
/// nonce can be verified from its first 16 characters at any later time.
std::string makeNonce(std::uint64_t seconds);

/// The time a nonce claims: its first 16 characters read as a hexadecimal
/// number; none when they are not 16 hexadecimal digits.
std::optional<std::uint64_t> nonceTime(std::string_view nonce);

/// True when `nonce` was made by `makeNonce` (at any time; nonces never expire).
bool isOwnNonce(std::string_view nonce);

/// The Digest opaque of a session: two draws of the process-wide generator as
/// "%08x%08x", the second draw first. Any thread.
std::string makeOpaque();

/// A new session id: a GUID's 36-character text; empty when none could be made.
std::string newSessionId();

} // namespace http
