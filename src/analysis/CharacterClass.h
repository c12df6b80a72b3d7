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
/// Threads: any. Without a UTF-8 locale on the machine nothing above ASCII
/// is a letter.
bool isLetter(wchar_t c);
inline bool isDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
inline bool isAlphanumeric(wchar_t c) { return isDigit(c) || isLetter(c); }
inline bool isSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\f' || c == L'\r';
}

/// The lower-case form of a letter above ASCII in the UTF-8 locale; ASCII
/// and everything else unchanged (the engine's lower-case filter does ASCII).
wchar_t foldNonAscii(wchar_t c);

} // namespace analysis
