#include "analysis/TermFolding.h"

#include "analysis/Decomposition.h"

#include <algorithm>
#include <cstdint>

namespace analysis {

namespace {

/// Latin letters that carry their mark in the letter itself, so no
/// decomposition takes it off.
struct Spelling {
    wchar_t letter;
    const wchar_t* plain;
};
constexpr Spelling plainSpellings[] = {
    {L'ß', L"ss"}, {L'Æ', L"ae"}, {L'æ', L"ae"}, {L'Œ', L"oe"}, {L'œ', L"oe"}, {L'Ø', L"o"},
    {L'ø', L"o"},  {L'Đ', L"d"},  {L'đ', L"d"},  {L'Ð', L"d"},  {L'ð', L"d"},  {L'Ł', L"l"},
    {L'ł', L"l"},  {L'Ħ', L"h"},  {L'ħ', L"h"},  {L'ı', L"i"},  {L'Þ', L"th"}, {L'þ', L"th"},
    {L'Ŧ', L"t"},  {L'ŧ', L"t"},  {L'ẞ', L"ss"},
};

const wchar_t* plainSpelling(wchar_t c)
{
    const auto* found = std::find_if(std::begin(plainSpellings), std::end(plainSpellings),
                                     [c](const Spelling& spelling) { return spelling.letter == c; });
    return found == std::end(plainSpellings) ? nullptr : found->plain;
}

void appendFolded(wchar_t c, std::wstring& out)
{
    // Widened: where wchar_t has 16 bits (Windows) no unit is above 0xFFFF.
    const auto code = static_cast<std::int64_t>(c);
    if (isCjk(static_cast<char32_t>(code)) || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
        out += c;
        return;
    }
    if (const wchar_t* plain = plainSpelling(c)) {
        out += plain;
        return;
    }
    if (isCombiningMark(c))
        return;
    std::wstring decomposed;
    if (!appendLowerDecomposition(c, decomposed)) {
        out += lowerCase(c);
        return;
    }
    for (const wchar_t part : decomposed) {
        if (isCombiningMark(part))
            continue;
        if (const wchar_t* plain = plainSpelling(part))
            out += plain;
        else
            out += part;
    }
}

} // namespace

bool isCjk(char32_t c)
{
    return (c >= 0x3040 && c <= 0x30FF)      // Hiragana, Katakana
           || (c >= 0x31F0 && c <= 0x31FF)   // Katakana phonetic extensions
           || (c >= 0xFF66 && c <= 0xFF9F)   // half-width Katakana
           || (c >= 0x3400 && c <= 0x4DBF)   // Han extension A
           || (c >= 0x4E00 && c <= 0x9FFF)   // Han
           || (c >= 0xF900 && c <= 0xFAFF)   // Han compatibility
           || (c >= 0x20000 && c <= 0x3134F) // Han extensions B and later
           || (c >= 0x1100 && c <= 0x11FF)   // Hangul jamo
           || (c >= 0x3130 && c <= 0x318F)   // Hangul compatibility jamo
           || (c >= 0xAC00 && c <= 0xD7AF);  // Hangul syllables
}

std::wstring foldTerm(std::wstring_view term)
{
    std::wstring folded;
    foldTerm(term, folded);
    return folded;
}

void foldTerm(std::wstring_view term, std::wstring& folded)
{
    folded.clear();
    folded.reserve(term.size());
    for (const wchar_t c : term) {
        if (c < 0x80)
            folded += (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
        else
            appendFolded(c, folded);
    }
}

} // namespace analysis
