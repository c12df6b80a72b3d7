#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using Guid = std::array<std::uint8_t, 16>;

/// 16 random bytes from the operating system; empty when it cannot give them.
std::optional<Guid> newGuid();

/// The text form: 36 characters, lower-case hexadecimal in groups 8-4-4-4-12.
std::string guidText(const Guid& guid);

/// A new GUID's text, or the empty text when no GUID could be made.
std::string newGuidText();

} // namespace platform
