#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace library {

// How our own tag parsers read texts and numbers, the same way as the tag
// library and TagText.h: their answers must be the tag library's to the
// byte. Any thread; nothing throws.

/// A number at the start of a text as the tag library reads one (ASCII
/// blanks, a sign, digits; the largest long when it overflows), and whether
/// it was the whole text and fits an int.
struct TagNumber {
    long value = 0;
    bool whole = false;
};

/// The number at the start of the UTF-8 `text`; nothing when the text
/// begins, after ASCII blanks, with other than ASCII (which the tag library
/// might read as blank).
std::optional<TagNumber> tagNumber(std::string_view text);

/// `text` without the blanks around it, as the index keeps texts.
std::string trimmedText(std::string_view text);

/// The leading number of a text such as "3/12" (blanks around it ignored),
/// as the readers of disc numbers take it; 0 when it has none.
int leadingDigits(std::string_view text);

/// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing past U+10FFFF): what the tag library decodes without loss.
bool isUtf8(std::string_view text);

/// Appends the Unicode code point `c` to `to` in UTF-8.
void appendCodePoint(std::string& to, std::uint32_t c);

/// Appends the Latin-1 `text` to `to` in UTF-8.
void appendLatin1(std::string& to, std::string_view text);

} // namespace library
