#pragma once

#include <CLucene.h>

namespace lucene::queryParser::filename {

/// The engine's query parser for the library's index: default operator AND,
/// terms read through `analyzer` (a `SearchAnalyzer` of the query side, so
/// "Café" looks up "cafe"). Two things the engine's parser does not do:
///  - prefix, wildcard and fuzzy terms ("café*"), which skip the analyzer,
///    are folded the same way (analysis/TermFolding.h) when that does not
///    lengthen them (a "ß" in a wildcard term stays);
///  - a word that is one CJK character finds every indexed term that starts
///    with it (the index holds CJK runs as pairs, see SearchTermFilter),
///    scored alike, with no limit on how many terms that is.
/// Borrows `analyzer`. One parse at a time; throws the engine's errors as
/// the engine's parser does.
class SearchQueryParser : public QueryParser {
public:
    SearchQueryParser(const TCHAR* defaultField, lucene::analysis::Analyzer* analyzer);
    ~SearchQueryParser() override;

protected:
    using QueryParser::getFieldQuery;
    lucene::search::Query* getFieldQuery(const TCHAR* field, TCHAR* queryText) override;
    lucene::search::Query* getWildcardQuery(const TCHAR* field, TCHAR* termText) override;
    lucene::search::Query* getPrefixQuery(const TCHAR* field, TCHAR* termText) override;
    lucene::search::Query* getFuzzyQuery(const TCHAR* field, TCHAR* termText, float_t minSimilarity) override;
};

} // namespace lucene::queryParser::filename
