#include "analysis/SearchQueryParser.h"

#include "analysis/TermFolding.h"
#include "analysis/WideText.h"

#include <CLucene/search/ConstantScoreQuery.h>
#include <CLucene/search/PrefixQuery.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace lucene::queryParser::filename {

using lucene::index::Term;
using lucene::search::Query;

namespace {

/// A prefix, wildcard, fuzzy or range term as the index holds such terms:
/// folded, unless its folded form is longer (a "ß" gives "ss", which would
/// move the wildcards' places), and in the index's form.
std::wstring termAsIndexed(const TCHAR* text, bool fold)
{
    std::wstring term(text != nullptr ? text : L"");
    if (fold) {
        std::wstring folded = ::analysis::foldTerm(term);
        if (folded.size() <= term.size())
            term.swap(folded);
    }
    ::analysis::toIndexForm(term);
    return term;
}

/// True when `text` is one CJK character (a surrogate pair where wide
/// characters are 16 bits, see analysis/WideText.h).
bool isOneCjkCharacter(std::wstring_view text)
{
    if (text.empty())
        return false;
    const ::analysis::Character first = ::analysis::characterAt(text, 0);
    return first.width == text.size() && ::analysis::isCjk(first.code);
}

/// The term of a one-term query; null for any other query.
const TCHAR* singleTerm(const Query* query)
{
    if (query == nullptr || std::strcmp(query->getObjectName(), lucene::search::TermQuery::getClassName()) != 0)
        return nullptr;
    return static_cast<const lucene::search::TermQuery*>(query)->getTerm(false)->text();
}

/// The Private Use Area of the basic plane, where stand-ins are taken from.
constexpr wchar_t privateUseFirst = 0xE000;
constexpr wchar_t privateUseLast = 0xF8FF;

/// Never where wide characters are 16 bits (such a character is two).
bool beyondBasicPlane(wchar_t c)
{
    return (static_cast<std::uint32_t>(c) >> 16) != 0;
}

} // namespace

SearchQueryParser::SearchQueryParser(const TCHAR* defaultField, lucene::analysis::Analyzer* analyzer)
    : QueryParser(defaultField, analyzer)
{
    setDefaultOperator(AND_OPERATOR);
}

SearchQueryParser::~SearchQueryParser() = default;

Query* SearchQueryParser::parse(const TCHAR* text)
{
    const std::wstring standing = standInText(text != nullptr ? std::wstring_view(text) : std::wstring_view());
    return QueryParser::parse(standing.c_str());
}

std::wstring SearchQueryParser::standInText(std::wstring_view text)
{
    replaced.clear();
    std::wstring standing(text);
    if (std::none_of(text.begin(), text.end(), beyondBasicPlane))
        return standing;
    replaced.assign(privateUseLast - privateUseFirst + 1, 0);
    // A private character the text holds stands for itself.
    std::vector<bool> taken(replaced.size());
    for (wchar_t c : text)
        if (c >= privateUseFirst && c <= privateUseLast)
            taken[c - privateUseFirst] = true;
    std::size_t next = 0;
    for (wchar_t& c : standing) {
        if (!beyondBasicPlane(c))
            continue;
        // Every stand-in given so far lies at or below `next`.
        const auto assigned = replaced.begin() + static_cast<std::ptrdiff_t>(std::min(next + 1, replaced.size()));
        const auto known = std::find(replaced.begin(), assigned, c);
        if (known != assigned) {
            c = static_cast<wchar_t>(privateUseFirst + (known - replaced.begin()));
            continue;
        }
        while (next < taken.size() && taken[next])
            ++next;
        if (next == taken.size()) {
            // More distinct characters than stand-ins: the rest part words.
            c = L' ';
            continue;
        }
        taken[next] = true;
        replaced[next] = c;
        c = static_cast<wchar_t>(privateUseFirst + next);
    }
    return standing;
}

TCHAR* SearchQueryParser::restore(TCHAR* text) const
{
    if (text == nullptr || replaced.empty())
        return text;
    for (TCHAR* c = text; *c != 0; ++c)
        if (*c >= privateUseFirst && *c <= privateUseLast && replaced[*c - privateUseFirst] != 0)
            *c = replaced[*c - privateUseFirst];
    return text;
}

Query* SearchQueryParser::getFieldQuery(const TCHAR* field, TCHAR* queryText)
{
    std::unique_ptr<Query> query(QueryParser::getFieldQuery(field, restore(queryText)));
    const TCHAR* text = singleTerm(query.get());
    if (text == nullptr || !isOneCjkCharacter(text))
        return query.release();
    Term* prefix = _CLNEW Term(field, text);
    Query* everyStart = _CLNEW lucene::search::ConstantScoreQuery(_CLNEW lucene::search::PrefixFilter(prefix));
    _CLDECDELETE(prefix);
    return everyStart;
}

Query* SearchQueryParser::getWildcardQuery(const TCHAR* field, TCHAR* termText)
{
    // The engine refuses a leading wildcard, freeing the text it was handed.
    if (termText == nullptr || termText[0] == L'*' || termText[0] == L'?')
        return QueryParser::getWildcardQuery(field, termText);
    std::wstring term = termAsIndexed(restore(termText), true);
    return QueryParser::getWildcardQuery(field, term.data());
}

Query* SearchQueryParser::getPrefixQuery(const TCHAR* field, TCHAR* termText)
{
    if (termText == nullptr || termText[0] == L'*')
        return QueryParser::getPrefixQuery(field, termText);
    std::wstring term = termAsIndexed(restore(termText), true);
    return QueryParser::getPrefixQuery(field, term.data());
}

Query* SearchQueryParser::getFuzzyQuery(const TCHAR* field, TCHAR* termText, float_t minSimilarity)
{
    std::wstring term = termAsIndexed(restore(termText), true);
    return QueryParser::getFuzzyQuery(field, term.data(), minSimilarity);
}

Query* SearchQueryParser::getRangeQuery(const TCHAR* field, TCHAR* part1, TCHAR* part2, bool inclusive)
{
    std::wstring first = termAsIndexed(restore(part1), false);
    std::wstring last = termAsIndexed(restore(part2), false);
    return QueryParser::getRangeQuery(field, first.data(), last.data(), inclusive);
}

} // namespace lucene::queryParser::filename
