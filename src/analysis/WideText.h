#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace analysis {

/// The search engine works in wide characters; file names and queries are
/// bytes (normally UTF-8). Two conversions, each lossless:
///
/// `decodeUtf8`, for text the analyzer reads (the "name" field, queries):
/// every well-formed UTF-8 sequence becomes its code point, so letters of
/// every script are letters; every byte that is not part of one (a stray
/// continuation byte, a truncated or overlong sequence, a surrogate, a value
/// above U+10FFFF) becomes one wide character U+DC00 + byte, which no
/// character class holds. ASCII stays ASCII.
/// `encodeUtf8` is its inverse (terms back to bytes). Where wide characters
/// are 16 bits (Windows) a code point above U+FFFF is a surrogate pair.
///
/// `widenBytes` / `narrowBytes`, for stored fields ("path"): each byte is
/// one wide character 0..255 and back, so any path survives byte for byte.
std::wstring decodeUtf8(std::string_view bytes);
std::string encodeUtf8(std::wstring_view text);

std::wstring widenBytes(std::string_view bytes);
/// Keeps the low 8 bits of every character.
std::string narrowBytes(std::wstring_view text);
/// `value` in decimal digits (as std::to_wstring, without its formatted
/// printing: the indexer writes several numbers for each file).
std::wstring decimalText(std::uint64_t value);

/// One character of decoded text: its code point and the wide characters
/// that hold it, 2 for a surrogate pair (as text holds a character above
/// U+FFFF where wide characters are 16 bits, and a term in the index's
/// form on every system), otherwise 1. What is not a pair is read as it stands, an
/// escaped byte included.
struct Character {
    char32_t code;
    std::size_t width;
};

/// The character that starts at `text[at]` (`at` < `text.size()`).
Character characterAt(std::wstring_view text, std::size_t at);

/// Puts `term` in the form the index keeps terms in: every character above
/// U+FFFF as a surrogate pair, on every system. The engine writes each
/// character of a term in at most three bytes, which where wide characters
/// are 32 bits cuts such a character down to its low 16 bits; as a pair it
/// is kept whole, and an index's terms are alike on every system.
/// `characterAt` and `encodeUtf8` read a pair as the character it holds
/// (decoded text has no high surrogate of its own, see above).
void toIndexForm(std::wstring& term);

/// `decodeUtf8` of `bytes` in the index's form: for texts the index keeps
/// as they are (stored values, whole keys) and for the keys looked up.
std::wstring decodeUtf8IndexForm(std::string_view bytes);

/// Appends `code` as decoded text holds it (a surrogate pair above U+FFFF
/// where wide characters are 16 bits).
void appendCharacter(std::wstring& text, char32_t code);

} // namespace analysis
