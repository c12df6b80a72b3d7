#pragma once

#include <CLucene.h>

#include <deque>
#include <string>

namespace lucene::analysis::filename {

/// Turns the file-name analyzer's terms into the terms search matches on:
///  - every term is folded (analysis/TermFolding.h), so "Café" and "cafe"
///    are one term;
///  - a run of CJK characters inside a term becomes its overlapping
///    two-character pieces ("日本語の歌" gives 日本, 本語, 語の, の歌), each one
///    position after the last, so a query's run, cut the same way, matches as
///    a phrase anywhere inside a longer run; a run of one character stays
///    whole. Text of the term around a run stays one term each side.
///  - with `lastCharacters` (the index side), a run of two or more also gives
///    its last character, at the position of its last piece, so that a
///    search for one character can match the start of any term (see
///    SearchQueryParser) and still find a run that ends in it;
///  - every term is given in the index's form (analysis/WideText.h), a
///    character above U+FFFF as a surrogate pair.
/// Owns its input and deletes it with itself. One thread at a time.
class SearchTermFilter : public TokenFilter {
public:
    SearchTermFilter(TokenStream* input, bool lastCharacters);
    ~SearchTermFilter() override;

    Token* next(Token* token) override;
    /// Forgets terms still waiting from the last input (before the input is
    /// set to read another text).
    void clear() { pending.clear(); }

private:
    struct Piece {
        std::wstring text;
        std::int32_t increment;
    };

    void cut(const std::wstring& folded, std::int32_t firstIncrement);

    bool lastCharacters;
    std::deque<Piece> pending;
    /// The term being cut, folded (its memory kept from term to term).
    std::wstring folded;
    std::int32_t startOffset = 0;
    std::int32_t endOffset = 0;
    /// The term's type name, an interned text of the tokenizer.
    const TCHAR* type = nullptr;
};

} // namespace lucene::analysis::filename
