#include "analysis/FilenameFilter.h"

#include "analysis/CharacterClass.h"
#include "analysis/TokenTypes.h"

#include <cwchar>

namespace lucene::analysis::filename {

namespace {

bool hasType(const Token& token, TokenType type)
{
    const TCHAR* expected = tokenTypeName(type);
    return token.type() == expected || std::wcscmp(token.type(), expected) == 0;
}

} // namespace

FilenameFilter::FilenameFilter(TokenStream* input) : TokenFilter(input, true) {}

FilenameFilter::~FilenameFilter() = default;

Token* FilenameFilter::next(Token* token)
{
    Token* result = input->next(token);
    if (result == nullptr)
        return nullptr;
    TCHAR* text = result->termBuffer();
    std::size_t length = result->termLength();
    if (hasType(*result, TokenType::apostrophe)) {
        if (length >= 2 && text[length - 2] == L'\'' && (text[length - 1] == L's' || text[length - 1] == L'S'))
            length -= 2;
    } else if (hasType(*result, TokenType::acronym)) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < length; ++i) {
            if (text[i] != L'.')
                text[kept++] = text[i];
        }
        length = kept;
    }
    for (std::size_t i = 0; i < length; ++i)
        text[i] = ::analysis::foldNonAscii(text[i]);
    text[length] = L'\0';
    result->setTermLength(static_cast<std::int32_t>(length));
    return result;
}

} // namespace lucene::analysis::filename
