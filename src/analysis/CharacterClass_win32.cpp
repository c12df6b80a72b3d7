// The character classes on Windows: the system's own Unicode tables
// (kernel32), in place of a C library UTF-8 locale.
#include "analysis/CharacterClass.h"

#include <windows.h>

namespace analysis {

namespace {

bool isEscapedByte(wchar_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

} // namespace

bool isLetter(wchar_t c)
{
    if (c < 0x80)
        return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
    if (isEscapedByte(c))
        return false;
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE1, &c, 1, &type) && (type & C1_ALPHA) != 0;
}

wchar_t foldNonAscii(wchar_t c)
{
    if (c < 0x80 || isEscapedByte(c))
        return c;
    wchar_t lower = c;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &c, 1, &lower, 1, nullptr, nullptr, 0) != 1)
        return c;
    return lower;
}

} // namespace analysis
