#include "analysis/SearchQueryParser.h"

#include "analysis/TermFolding.h"
#include "analysis/WideText.h"

#include <CLucene/search/ConstantScoreQuery.h>
#include <CLucene/search/PrefixQuery.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

namespace lucene::queryParser::filename {

using lucene::index::Term;
using lucene::search::Query;

namespace {

/// Folds `text` where it stands: the engine's parser hands the text over
/// and frees it itself. A text whose folded form is longer (a "ß" gives
/// "ss") stays as it is.
TCHAR* foldInPlace(TCHAR* text)
{
    if (text == nullptr)
        return text;
    const std::wstring_view original(text);
    const std::wstring folded = ::analysis::foldTerm(original);
    if (folded.size() <= original.size())
        std::wcscpy(text, folded.c_str());
    return text;
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

} // namespace

SearchQueryParser::SearchQueryParser(const TCHAR* defaultField, lucene::analysis::Analyzer* analyzer)
    : QueryParser(defaultField, analyzer)
{
    setDefaultOperator(AND_OPERATOR);
}

SearchQueryParser::~SearchQueryParser() = default;

Query* SearchQueryParser::getFieldQuery(const TCHAR* field, TCHAR* queryText)
{
    std::unique_ptr<Query> query(QueryParser::getFieldQuery(field, queryText));
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
    return QueryParser::getWildcardQuery(field, foldInPlace(termText));
}

Query* SearchQueryParser::getPrefixQuery(const TCHAR* field, TCHAR* termText)
{
    return QueryParser::getPrefixQuery(field, foldInPlace(termText));
}

Query* SearchQueryParser::getFuzzyQuery(const TCHAR* field, TCHAR* termText, float_t minSimilarity)
{
    return QueryParser::getFuzzyQuery(field, foldInPlace(termText), minSimilarity);
}

} // namespace lucene::queryParser::filename
