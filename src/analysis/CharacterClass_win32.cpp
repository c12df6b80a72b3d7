// The character classes on Windows: the system's own Unicode tables
// (kernel32), in place of a C library UTF-8 locale.
#include "analysis/CharacterClass.h"

#include "analysis/TermFolding.h"
#include "analysis/WideText.h"

#include <string>

#include <windows.h>

namespace analysis {

namespace {

bool isEscapedByte(char32_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

/// Above U+FFFF, as the system's tables class the pair; the Han extensions
/// are letters whatever they say (the search pairs them as every Han
/// character).
bool isSupplementaryLetter(char32_t c)
{
    if (isCjk(c))
        return true;
    std::wstring pair;
    appendCharacter(pair, c);
    WORD types[2] = {};
    return GetStringTypeW(CT_CTYPE1, pair.data(), static_cast<int>(pair.size()), types) && (types[0] & C1_ALPHA) != 0;
}

} // namespace

bool isLetter(char32_t c)
{
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
    if (isEscapedByte(c) || c > 0x10FFFF)
        return false;
    if (c > 0xFFFF)
        return isSupplementaryLetter(c);
    const auto unit = static_cast<wchar_t>(c);
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &unit, 1, &type) && (type & C1_ALPHA) != 0;
}

wchar_t foldNonAscii(wchar_t c)
{
    if (c < 0x80 || isEscapedByte(static_cast<char32_t>(c)))
        return c;
    wchar_t lower = c;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &c, 1, &lower, 1, nullptr, nullptr, 0) != 1)
        return c;
    return lower;
}

} // namespace analysis
