#include "analysis/SearchTermFilter.h"

#include "analysis/TermFolding.h"
#include "analysis/WideText.h"

#include <algorithm>

namespace lucene::analysis::filename {

SearchTermFilter::SearchTermFilter(TokenStream* input, bool lastCharacters)
    : TokenFilter(input, true), lastCharacters(lastCharacters)
{
}

SearchTermFilter::~SearchTermFilter() = default;

namespace {

/// Whether `text` holds a CJK character, a surrogate pair (Windows) read as
/// the one character it is.
bool hasCjk(std::wstring_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const ::analysis::Character character = ::analysis::characterAt(text, at);
        if (::analysis::isCjk(character.code))
            return true;
        at += character.width;
    }
    return false;
}

} // namespace

void SearchTermFilter::cut(const std::wstring& folded, std::int32_t firstIncrement)
{
    std::int32_t increment = firstIncrement;
    auto add = [&](std::size_t from, std::size_t to, std::int32_t step) {
        pending.push_back({folded.substr(from, to - from), step});
        increment = 1;
    };
    // Counted in characters: where a character above U+FFFF is a surrogate
    // pair (Windows) the pair is one character of a run.
    auto isCjkAt = [&](std::size_t at) { return ::analysis::isCjk(::analysis::characterAt(folded, at).code); };
    auto after = [&](std::size_t at) { return at + ::analysis::characterAt(folded, at).width; };
    std::size_t i = 0;
    while (i < folded.size()) {
        const bool cjk = isCjkAt(i);
        std::size_t end = i;
        std::size_t last = i;  // where the run's last character starts
        std::size_t characters = 0;
        while (end < folded.size() && isCjkAt(end) == cjk) {
            last = end;
            end = after(end);
            ++characters;
        }
        if (!cjk || characters == 1) {
            add(i, end, increment);
        } else {
            for (std::size_t at = i; at != last; at = after(at))
                add(at, after(after(at)), increment);
            if (lastCharacters)
                add(last, end, 0);
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
        if (!hasCjk(folded)) {
            // No CJK run to cut (most terms): the folded term is the one
            // piece, given at once; an empty one gives nothing.
            if (folded.empty())
                continue;
            ::analysis::toIndexForm(folded);
            token->set(folded.c_str(), startOffset, endOffset, type);
            token->setPositionIncrement(increment);
            return token;
        }
        cut(folded, increment);
    }
    Piece piece = std::move(pending.front());
    pending.pop_front();
    ::analysis::toIndexForm(piece.text);
    token->set(piece.text.c_str(), startOffset, endOffset, type);
    token->setPositionIncrement(piece.increment);
    return token;
}

} // namespace lucene::analysis::filename
