#include "analysis/SearchTermFilter.h"

#include "analysis/TermFolding.h"

#include <algorithm>

namespace lucene::analysis::filename {

SearchTermFilter::SearchTermFilter(TokenStream* input, bool lastCharacters)
    : TokenFilter(input, true), lastCharacters(lastCharacters)
{
}

SearchTermFilter::~SearchTermFilter() = default;

void SearchTermFilter::cut(const std::wstring& folded, std::int32_t firstIncrement)
{
    std::int32_t increment = firstIncrement;
    auto add = [&](std::wstring text, std::int32_t step) {
        pending.push_back({std::move(text), step});
        increment = 1;
    };
    std::size_t i = 0;
    while (i < folded.size()) {
        std::size_t end = i;
        const bool cjk = ::analysis::isCjk(folded[i]);
        while (end < folded.size() && ::analysis::isCjk(folded[end]) == cjk)
            ++end;
        if (!cjk || end - i == 1) {
            add(folded.substr(i, end - i), increment);
        } else {
            for (std::size_t at = i; at + 1 < end; ++at)
                add(folded.substr(at, 2), increment);
            if (lastCharacters)
                add(folded.substr(end - 1, 1), 0);
        }
        i = end;
    }
}

Token* SearchTermFilter::next(Token* token)
{
    while (pending.empty()) {
        Token* read = input->next(token);
        if (read == nullptr)
            return nullptr;
        startOffset = read->startOffset();
        endOffset = read->endOffset();
        type = read->type();
        const std::int32_t increment = read->getPositionIncrement();
        ::analysis::foldTerm(std::wstring_view(read->termBuffer(), read->termLength()), folded);
        if (std::none_of(folded.begin(), folded.end(), ::analysis::isCjk)) {
            // No CJK run to cut (most terms): the folded term is the one
            // piece, given at once; an empty one gives nothing.
            if (folded.empty())
                continue;
            token->set(folded.c_str(), startOffset, endOffset, type);
            token->setPositionIncrement(increment);
            return token;
        }
        cut(folded, increment);
    }
    Piece piece = std::move(pending.front());
    pending.pop_front();
    token->set(piece.text.c_str(), startOffset, endOffset, type);
    token->setPositionIncrement(piece.increment);
    return token;
}

} // namespace lucene::analysis::filename
