// The terms search indexes and looks up, above all for CJK characters beyond
// U+FFFF, which Windows holds as surrogate pairs: each must be one character
// of a run, on both systems alike.
#include "analysis/SearchAnalyzer.h"
#include "analysis/SearchQueryParser.h"
#include "analysis/WideText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using lucene::analysis::filename::SearchAnalyzer;

namespace {

/// A term and how many positions it moves on from the one before.
struct Term {
    std::string text;
    int increment;
    bool operator==(const Term&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Term& term)
{
    return out << term.text << "/" << term.increment;
}

std::vector<Term> termsOf(SearchAnalyzer::Side side, const std::string& name)
{
    SearchAnalyzer analyzer(side);
    const std::wstring text = analysis::decodeUtf8(name);
    lucene::util::StringReader reader(text.c_str(), static_cast<std::int32_t>(text.size()), false);
    std::unique_ptr<lucene::analysis::TokenStream> stream(analyzer.tokenStream(L"name", &reader));
    std::vector<Term> terms;
    lucene::analysis::Token token;
    while (stream->next(&token) != nullptr)
        terms.push_back({analysis::encodeUtf8(std::wstring_view(token.termBuffer(), token.termLength())),
                         token.getPositionIncrement()});
    stream->close();
    return terms;
}

struct Case {
    std::string name;
    std::vector<Term> index;  // the query side has the same terms less those of increment 0
};

} // namespace

TEST(SearchTerms, CjkBeyondTheBasicPlaneIsPairedByCharacter)
{
    const Case cases[] = {
        // Han extension B (U+20000...), alone, in runs and beside BMP Han.
        {"𠀀", {{"𠀀", 1}}},
        {"𠀀𠀁𠀂", {{"𠀀𠀁", 1}, {"𠀁𠀂", 1}, {"𠀂", 0}}},
        {"東𠀀京", {{"東𠀀", 1}, {"𠀀京", 1}, {"京", 0}}},
        // Later extensions (D at U+2B740, G at U+30000) too.
        {"𫝀𰀀", {{"𫝀𰀀", 1}, {"𰀀", 0}}},
        // Latin text around a run stays one term each side; signs separate.
        {"abc𠀀𠀁 X", {{"abc", 1}, {"𠀀𠀁", 1}, {"𠀁", 0}, {"x", 1}}},
        {"𠀀-𠀁", {{"𠀀", 1}, {"𠀁", 1}}},
        // Outside the CJK blocks a character above U+FFFF is no pair.
        {"a😀b", {{"a", 1}, {"b", 1}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(termsOf(SearchAnalyzer::Side::index, c.name), c.index) << "name: " << c.name;
        std::vector<Term> query;
        for (const Term& term : c.index)
            if (term.increment != 0)
                query.push_back(term);
        EXPECT_EQ(termsOf(SearchAnalyzer::Side::query, c.name), query) << "name: " << c.name;
    }
}

TEST(SearchTerms, OneCjkCharacterIsLookedUpAtTheStartOfTerms)
{
    struct Lookup {
        std::string query;
        bool everyStart;  // a match at the start of any term, not one term
    };
    // (The engine's query reader knows no letters of Unicode versions after
    // its own, so a later extension, "𫝀", cannot be looked up.)
    const Lookup lookups[] = {{"京", true}, {"𠀀", true}, {"𠀀𠀁", false}, {"x", false}};
    SearchAnalyzer analyzer(SearchAnalyzer::Side::query);
    for (const Lookup& lookup : lookups) {
        lucene::queryParser::filename::SearchQueryParser parser(L"name", &analyzer);
        const std::wstring text = analysis::decodeUtf8(lookup.query);
        std::unique_ptr<lucene::search::Query> query;
        try {
            query.reset(parser.parse(text.c_str()));
        } catch (CLuceneError& error) {
            ADD_FAILURE() << "query: " << lookup.query << ": " << error.what();
            continue;
        }
        ASSERT_NE(query, nullptr) << lookup.query;
        const bool oneTerm = std::strcmp(query->getObjectName(), lucene::search::TermQuery::getClassName()) == 0;
        EXPECT_EQ(!oneTerm, lookup.everyStart) << "query: " << lookup.query << " is a " << query->getObjectName();
    }
}
