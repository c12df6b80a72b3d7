#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace http {

/// How long a nonce is good for once made.
constexpr std::uint64_t nonceLifetimeSeconds = 600;

/// The Digest nonce for a time in seconds since 1970: the 16 lower-case
/// hexadecimal digits of the time, then the MD5 (hexadecimal) of those digits,
/// the process's secret and one zero byte. 48 characters. The secret is drawn
/// from the system's random source when the process first needs it, so a
/// nonce can be verified from its first 16 characters, but only by the
/// process that made it.
std::string makeNonce(std::uint64_t seconds);

/// The time a nonce claims: its first 16 characters read as a hexadecimal
/// number; none when they are not 16 hexadecimal digits.
std::optional<std::uint64_t> nonceTime(std::string_view nonce);

/// True when `nonce` was made by `makeNonce` (at any time).
bool isOwnNonce(std::string_view nonce);

enum class NonceAge { foreign, fresh, stale };

/// Whether `nonce` is ours and, at `nowSeconds`, still within its lifetime
/// (a nonce dated later than a few seconds ahead is stale too).
NonceAge nonceAge(std::string_view nonce, std::uint64_t nowSeconds);

/// The current time in seconds since 1970.
std::uint64_t secondsSinceEpoch();

/// The Digest opaque of a session: two draws of the process-wide generator as
/// "%08x%08x", the second draw first. Any thread.
std::string makeOpaque();

/// A new session id: a GUID's 36-character text; empty when none could be made.
std::string newSessionId();

} // namespace http
