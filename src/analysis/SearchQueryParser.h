#pragma once

#include <CLucene.h>

#include <string>
#include <string_view>
#include <vector>

namespace lucene::queryParser::filename {

/// The engine's query parser for the library's index: default operator AND,
/// terms read through `analyzer` (a `SearchAnalyzer` of the query side, so
/// "Café" looks up "cafe"). Two things the engine's parser does not do:
///  - prefix, wildcard and fuzzy terms ("café*"), which skip the analyzer,
///    are folded the same way (analysis/TermFolding.h) when that does not
///    lengthen them (a "ß" in a wildcard term stays);
///  - a word that is one CJK character finds every indexed term that starts
///    with it (the index holds CJK runs as pairs, see SearchTermFilter),
///    scored alike, with no limit on how many terms that is;
///  - characters beyond U+FFFF where wide characters are 32 bits: the
///    engine's reader of query text indexes its character tables by a
///    character's high bits, which for those run past the tables' end. So
///    `parse` hands it stand-ins from the Private Use Area for them, and the
///    texts the reader gives back get their own characters again before
///    anything else sees them ("𫝀" is searchable like "京").
/// Borrows `analyzer`. One parse at a time; throws the engine's errors as
/// the engine's parser does.
class SearchQueryParser : public QueryParser {
public:
    SearchQueryParser(const TCHAR* defaultField, lucene::analysis::Analyzer* analyzer);
    ~SearchQueryParser() override;

    /// The query of `text` (see the class); the engine's `parse`, which this
    /// hides, is not to be called on this parser.
    lucene::search::Query* parse(const TCHAR* text);

protected:
    using QueryParser::getFieldQuery;
    lucene::search::Query* getFieldQuery(const TCHAR* field, TCHAR* queryText) override;
    lucene::search::Query* getWildcardQuery(const TCHAR* field, TCHAR* termText) override;
    lucene::search::Query* getPrefixQuery(const TCHAR* field, TCHAR* termText) override;
    lucene::search::Query* getFuzzyQuery(const TCHAR* field, TCHAR* termText, float_t minSimilarity) override;
    lucene::search::Query* getRangeQuery(const TCHAR* field, TCHAR* part1, TCHAR* part2, bool inclusive) override;

private:
    /// The query text with stand-ins, and the characters they stand for.
    std::wstring standInText(std::wstring_view text);
    /// `text` with its own characters again, where it stands.
    TCHAR* restore(TCHAR* text) const;

    /// The character each stand-in, U+E000 upwards, stands for (0: none);
    /// empty while the text has no character beyond U+FFFF.
    std::vector<wchar_t> replaced;
};

} // namespace lucene::queryParser::filename
