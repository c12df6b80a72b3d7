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

TEST(SearchTerms, QueriesFindCharactersBeyondTheBasicPlane)
{
    // Names indexed as the library indexes them, and the names each query
    // finds: one CJK character at the start of any pair, characters beyond
    // U+FFFF in every kind of term, a private-use character (no letter)
    // typed beside them staying itself.
    const char* const names[] = {"𫝀𰀀 song", "東京", "𠀀𠀁", "a😀b", "\xee\x80\x80𫝀"};
    const std::pair<std::string, std::string> queries[] = {
        {"京", "東京"},           {"東", "東京"},         {"𠀀", "𠀀𠀁"},     {"𫝀", "\xee\x80\x80𫝀|𫝀𰀀 song"},
        {"𰀀", "𫝀𰀀 song"},        {"𫝀𰀀 song", "𫝀𰀀 song"}, {"𫝀𰀀*", "𫝀𰀀 song"}, {"a😀b", "a😀b"},
        {"\xee\x80\x80𫝀", "\xee\x80\x80𫝀|𫝀𰀀 song"}, {"𠀁𠀀", ""},
    };
    SearchAnalyzer indexSide(SearchAnalyzer::Side::index);
    lucene::store::RAMDirectory directory;
    {
        lucene::index::IndexWriter writer(&directory, &indexSide, true);
        for (const char* name : names) {
            lucene::document::Document document;
            const std::wstring wide = analysis::decodeUtf8(name);
            document.add(*_CLNEW lucene::document::Field(L"name", wide.c_str(), lucene::document::Field::INDEX_TOKENIZED));
            writer.addDocument(&document);
        }
        writer.close();
    }
    lucene::search::IndexSearcher searcher(&directory);
    SearchAnalyzer querySide(SearchAnalyzer::Side::query);
    for (const auto& [text, expected] : queries) {
        lucene::queryParser::filename::SearchQueryParser parser(L"name", &querySide);
        const std::wstring wide = analysis::decodeUtf8(text);
        std::unique_ptr<lucene::search::Query> query(parser.parse(wide.c_str()));
        ASSERT_NE(query, nullptr) << text;
        std::unique_ptr<lucene::search::Hits> hits(searcher.search(query.get()));
        std::vector<std::string> found;
        for (std::size_t i = 0; i < hits->length(); ++i)
            found.push_back(names[hits->id(static_cast<std::int32_t>(i))]);
        std::sort(found.begin(), found.end());
        std::string joined;
        for (const std::string& name : found)
            joined += (joined.empty() ? "" : "|") + name;
        EXPECT_EQ(joined, expected) << text;
    }
    searcher.close();
}
