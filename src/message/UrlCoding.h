#pragma once

#include <string>

namespace http {

/// The value of one hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

/// Percent-decodes in place: each "%" followed by two hexadecimal digits
/// becomes that byte; everything else (including "+") stays.
void urlDecode(std::string& text);

/// Every byte but ASCII letters and digits becomes "%" and two lower-case
/// hexadecimal digits.
std::string urlEncode(std::string_view text);

} // namespace http
