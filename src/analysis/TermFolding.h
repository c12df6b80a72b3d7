#pragma once

#include <string>
#include <string_view>

namespace analysis {

/// True for the characters of scripts written without spaces between words,
/// which search reads two at a time: Han ideographs (with their extensions
/// and compatibility forms), Hiragana, Katakana (with the half-width forms
/// and phonetic extensions) and Hangul (syllables and jamo). Takes a code
/// point, so that a Han character above U+FFFF is one even where text holds
/// it as a surrogate pair (see `characterAt` in analysis/WideText.h). Any
/// thread.
bool isCjk(char32_t c);

/// The form a term is indexed and looked up under, so that a name is found
/// whatever accents the query gives or leaves out: letters lose their
/// diacritics (é, ā, ç, ő become e, a, c, o), compatibility forms become
/// their plain letters (the "ﬁ" ligature gives "fi", a full-width "Ａ" gives
/// "a"), letters with no decomposition get their usual Latin spelling (ø o,
/// ł l, đ and ð d, ß ss, æ ae, œ oe, þ th), and everything is lower-cased.
/// CJK characters and the escaped bytes of `decodeUtf8` stay as they are. Pure; any thread; never fails (a character the Unicode
/// tables cannot decompose is kept as it is).
std::wstring foldTerm(std::wstring_view term);
/// The same into `out` (replacing what it held, keeping its memory), for a
/// caller that folds one term after another.
void foldTerm(std::wstring_view term, std::wstring& out);

} // namespace analysis
