#include "analysis/Decomposition.h"

#include <windows.h>

namespace analysis {

bool isCombiningMark(wchar_t c)
{
    WORD type = 0;
    return ::GetStringTypeW(CT_CTYPE3, &c, 1, &type) && (type & C3_NONSPACING) != 0;
}

bool appendLowerDecomposition(wchar_t c, std::wstring& out)
{
    // A compatibility decomposition is at most 18 characters long.
    wchar_t decomposed[32];
    const int length = ::NormalizeString(NormalizationKD, &c, 1, decomposed, 32);
    if (length <= 0 || (length == 1 && decomposed[0] == c))
        return false;
    for (int i = 0; i < length; ++i)
        out += lowerCase(decomposed[i]);
    return true;
}

wchar_t lowerCase(wchar_t c)
{
    wchar_t lower = c;
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, &c, 1, &lower, 1, nullptr, nullptr, 0);
    return lower;
}

} // namespace analysis
