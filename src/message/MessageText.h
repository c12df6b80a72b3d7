#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

namespace http {

/// Text helpers shared by the request and response readers. Pure functions.

/// "Not found", as the readers' searches answer it.
inline constexpr std::size_t npos = std::string_view::npos;

/// Orders header names without regard to ASCII case, so that a lookup finds
/// a header however the client spelt its name.
struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

/// Received headers: a name is found in any spelling; the spelling of its
/// first line is the one kept.
using HeaderMap = std::map<std::string, std::string, NameLess>;

/// Reads header lines from `text`, which starts at the first header line: each
/// line ends with "\r\n" and the blank line (or a last line without "\r\n")
/// ends the list. A line is split at its first ":"; the name is kept as sent,
/// the value loses its leading spaces. Lines without ":" are skipped; a name
/// already in `headers` keeps its value.
void readHeaderLines(std::string_view text, std::map<std::string, std::string>& headers);
void readHeaderLines(std::string_view text, HeaderMap& headers);

/// The leading decimal number of `text` (after blanks), as atoi reads it but
/// never negative: 0 when there are no digits or a minus sign; saturates at
/// `limit` instead of overflowing.
std::size_t decimalValue(std::string_view text, std::size_t limit);

/// True when `value`, a "Content-Length" value as sent, is one decimal
/// number, with blanks (space, tab) around it at most: an empty value, a
/// sign, trailing text ("3abc") or a list ("3, 3") is not one.
bool isLengthValue(std::string_view value);

/// The "Content-Length" header read by `decimalValue`; 0 when absent.
std::size_t contentLength(const std::map<std::string, std::string>& headers);
std::size_t contentLength(const HeaderMap& headers);

/// Splits `text` at every "&"; each part with "=" gives a percent-decoded name
/// (before the first "=") and value (after it, leading spaces removed before
/// decoding), inserted unless the name is already present.
void readParams(std::string_view text, std::map<std::string, std::string>& params);

/// Where "\r\n\r\n" starts in `text`, searching from `from` (npos when absent).
std::size_t findBlankLine(std::string_view text, std::size_t from = 0);

} // namespace http
