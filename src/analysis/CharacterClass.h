#pragma once

namespace analysis {

/// The character classes of the file-name analyzer, over wide characters.
/// ASCII keeps the classes byte for byte: letters A-Z and a-z, digits 0-9,
/// spaces tab, line feed, form feed, carriage return and blank (vertical tab
/// is no space). Above ASCII a character is a letter when the C library calls
/// it alphabetic in a UTF-8 locale (letters of every script), and never a
/// digit or a space. The escaped bytes of `decodeUtf8` (U+DC80 to U+DCFF)
/// are in no class, so a byte that is not UTF-8 still ends a word.
///
/// Classes are of code points, so that a character above U+FFFF is classed
/// whole even where text holds it as a surrogate pair (Windows; see
/// `characterAt` in analysis/WideText.h); a lone surrogate is no letter.
///
/// Threads: any. Without a UTF-8 locale on the machine nothing above ASCII
/// is a letter.
bool isLetter(char32_t c);
inline bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
inline bool isAlphanumeric(char32_t c) { return isDigit(c) || isLetter(c); }
inline bool isSpace(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r';
}

/// The lower-case form of a letter above ASCII in the UTF-8 locale; ASCII
/// and everything else unchanged (the engine's lower-case filter does ASCII).
wchar_t foldNonAscii(wchar_t c);

} // namespace analysis
