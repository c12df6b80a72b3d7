// CJK characters beyond U+FFFF (surrogate pairs on Windows) are one
// character each in search's terms, on both systems alike.
#include "analysis/SearchAnalyzer.h"
#include "analysis/SearchQueryParser.h"
#include "analysis/WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using lucene::analysis::filename::SearchAnalyzer;

namespace {

/// Each term with how many positions it moves on ("term/1").
std::vector<std::string> termsOf(SearchAnalyzer::Side side, const std::string& name)
{
    SearchAnalyzer analyzer(side);
    const std::wstring text = analysis::decodeUtf8(name);
    lucene::util::StringReader reader(text.c_str(), static_cast<std::int32_t>(text.size()), false);
    std::unique_ptr<lucene::analysis::TokenStream> stream(analyzer.tokenStream(L"name", &reader));
    std::vector<std::string> terms;
    lucene::analysis::Token token;
    while (stream->next(&token) != nullptr)
        terms.push_back(analysis::encodeUtf8(std::wstring_view(token.termBuffer(), token.termLength())) + "/" +
                        std::to_string(token.getPositionIncrement()));
    stream->close();
    return terms;
}

} // namespace

TEST(SearchTerms, CjkBeyondTheBasicPlaneIsPairedByCharacter)
{
    // The index side's terms; the query side's are those that move on.
    // Extension B (U+20000...) alone, in runs, beside BMP Han; later ones
    // (D, G); Latin around a run; a sign between; an emoji is no letter.
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"𠀀", {"𠀀/1"}},          {"𠀀𠀁𠀂", {"𠀀𠀁/1", "𠀁𠀂/1", "𠀂/0"}}, {"東𠀀京", {"東𠀀/1", "𠀀京/1", "京/0"}},
        {"𫝀𰀀", {"𫝀𰀀/1", "𰀀/0"}}, {"abc𠀀𠀁 X", {"abc/1", "𠀀𠀁/1", "𠀁/0", "x/1"}},
        {"𠀀-𠀁", {"𠀀/1", "𠀁/1"}}, {"a😀b", {"a/1", "b/1"}},
    };
    for (const auto& [name, index] : cases) {
        EXPECT_EQ(termsOf(SearchAnalyzer::Side::index, name), index) << name;
        std::vector<std::string> query;
        std::copy_if(index.begin(), index.end(), std::back_inserter(query),
                     [](const std::string& term) { return !term.ends_with("/0"); });
        EXPECT_EQ(termsOf(SearchAnalyzer::Side::query, name), query) << name;
    }
}

TEST(SearchTerms, OneCjkCharacterIsLookedUpAtTheStartOfTerms)
{
    // True: a match at the start of any term rather than one term. (The
    // engine's query reader knows no letters of Unicode versions after its
    // own, so a later extension, "𫝀", cannot be looked up.)
    const std::pair<std::string, bool> lookups[] = {{"京", true}, {"𠀀", true}, {"𠀀𠀁", false}, {"x", false}};
    SearchAnalyzer analyzer(SearchAnalyzer::Side::query);
    for (const auto& [text, everyStart] : lookups) {
        lucene::queryParser::filename::SearchQueryParser parser(L"name", &analyzer);
        const std::wstring wide = analysis::decodeUtf8(text);
        std::unique_ptr<lucene::search::Query> query(parser.parse(wide.c_str()));
        ASSERT_NE(query, nullptr) << text;
        EXPECT_EQ(std::strcmp(query->getObjectName(), lucene::search::TermQuery::getClassName()) != 0, everyStart)
            << text << " gives a " << query->getObjectName();
    }
}
