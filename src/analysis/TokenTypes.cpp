#include "analysis/TokenTypes.h"

namespace lucene::analysis::filename {

const wchar_t* tokenTypeName(TokenType type)
{
    static const wchar_t* const names[] = {L"<EOF>",     L"<UNKNOWN>", L"<ALPHANUM>", L"<APOSTROPHE>", L"<ACRONYM>",
                                           L"<COMPANY>", L"<EMAIL>",   L"<HOST>",     L"<NUM>"};
    const auto index = static_cast<unsigned>(type);
    return index < sizeof names / sizeof names[0] ? names[index] : names[0];
}

} // namespace lucene::analysis::filename
