#include "analysis/Decomposition.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace analysis {

namespace {

/// The compatibility decomposition tables; owned by ICU for the process.
const icu::Normalizer2* decomposition()
{
    static const icu::Normalizer2* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* normalizer = icu::Normalizer2::getNFKDInstance(status);
        return U_SUCCESS(status) ? normalizer : nullptr;
    }();
    return instance;
}

} // namespace

bool isCombiningMark(wchar_t c)
{
    const std::int8_t type = u_charType(static_cast<UChar32>(c));
    return type == U_NON_SPACING_MARK || type == U_COMBINING_SPACING_MARK || type == U_ENCLOSING_MARK;
}

bool appendLowerDecomposition(wchar_t c, std::wstring& out)
{
    icu::UnicodeString decomposed;
    const icu::Normalizer2* normalizer = decomposition();
    if (normalizer == nullptr || !normalizer->getDecomposition(static_cast<UChar32>(c), decomposed))
        return false;
    for (std::int32_t i = 0; i < decomposed.length(); i = decomposed.moveIndex32(i, 1))
        out += static_cast<wchar_t>(u_tolower(decomposed.char32At(i)));
    return true;
}

wchar_t lowerCase(wchar_t c)
{
    return static_cast<wchar_t>(u_tolower(static_cast<UChar32>(c)));
}

} // namespace analysis
