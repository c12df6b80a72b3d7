#pragma once

#include <string>
#include <string_view>

// Internal to the Windows platform layer: the program's texts are UTF-8, the
// system's wide calls take and give UTF-16. Any thread; invalid input turns
// into U+FFFD rather than failing.
namespace platform::win32 {

std::wstring toUtf16(std::string_view text);
std::string toUtf8(std::wstring_view text);

/// The system's text for the error `code` (as GetLastError gives it), in
/// UTF-8 without its line break; "error N" when it has none.
std::string errorText(unsigned long code);

} // namespace platform::win32
