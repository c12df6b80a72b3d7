#include "analysis/SearchAnalyzer.h"
#include "analysis/WideText.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using lucene::analysis::filename::SearchAnalyzer;

/// The terms of `stream`, in UTF-8, each followed by "@n" when its position
/// increment is not 1 (the positions are what phrases match on).
std::string terms(lucene::analysis::TokenStream& stream)
{
    std::string out;
    lucene::analysis::Token token;
    while (stream.next(&token) != nullptr) {
        out += (out.empty() ? "" : " ") + analysis::encodeUtf8(std::wstring_view(token.termBuffer(), token.termLength()));
        if (token.getPositionIncrement() != 1)
            out += "@" + std::to_string(token.getPositionIncrement());
    }
    return out;
}

struct Case {
    const char* text;
    const char* indexed;
    const char* queried;
};

} // namespace

// Every text through a new chain and through the one chain the index
// writer reuses from text to text, on both sides: the same terms either way,
// whatever the texts before left behind.
TEST(SearchAnalyzer, TermsFoldedAndCutTheSameWhetherTheChainIsNewOrReused)
{
    const Case cases[] = {
        {"Café Nāndu", "cafe nandu", "cafe nandu"},
        {"STRASSE Straße ØRESUND Łódź", "strasse strasse oresund lodz", "strasse strasse oresund lodz"},
        {"ﬁne Ｆｕｌｌ", "fine full", "fine full"},
        {"日本語の歌 東京", "日本 本語 語の の歌 歌@0 東京 京@0", "日本 本語 語の の歌 東京"},
        {"東", "東", "東"},
        {"abc日本def", "abc 日本 本@0 def", "abc 日本 def"},
        {"Don't U.S.A. 1.5", "don't usa 1.5", "don't usa 1.5"},
        {"An Album Title", "an album title", "an album title"},
        {"", "", ""},
        {"日本語の歌", "日本 本語 語の の歌 歌@0", "日本 本語 語の の歌"},
        {"Some Artist", "some artist", "some artist"},
    };
    for (const SearchAnalyzer::Side side : {SearchAnalyzer::Side::index, SearchAnalyzer::Side::query}) {
        SearchAnalyzer analyzer(side);
        // A field whose terms the reusable chain remembers, read in turns
        // with the texts before it, gives the same terms again.
        SearchAnalyzer remembering(side, {L"artist"});
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(c.text);
            const char* expected = side == SearchAnalyzer::Side::index ? c.indexed : c.queried;
            const std::wstring text = analysis::decodeUtf8(c.text);
            lucene::util::StringReader fresh(text.c_str(), static_cast<std::int32_t>(text.size()), false);
            const std::unique_ptr<lucene::analysis::TokenStream> own(analyzer.tokenStream(L"name", &fresh));
            EXPECT_EQ(terms(*own), expected);
            lucene::util::StringReader again(text.c_str(), static_cast<std::int32_t>(text.size()), false);
            EXPECT_EQ(terms(*analyzer.reusableTokenStream(L"name", &again)), expected);
            for (const std::size_t turn : {i, i > 0 ? i - 1 : i, i, i}) {
                const std::wstring read = analysis::decodeUtf8(cases[turn].text);
                lucene::util::StringReader reader(read.c_str(), static_cast<std::int32_t>(read.size()), false);
                EXPECT_EQ(terms(*remembering.reusableTokenStream(L"artist", &reader)),
                          side == SearchAnalyzer::Side::index ? cases[turn].indexed : cases[turn].queried);
            }
        }
        // A text whose terms were not all read (a writer stops at its
        // longest field) is not remembered cut short.
        const std::wstring text = L"Three Word Text";
        lucene::util::StringReader first(text.c_str(), static_cast<std::int32_t>(text.size()), false);
        lucene::analysis::Token token;
        ASSERT_NE(remembering.reusableTokenStream(L"artist", &first)->next(&token), nullptr);
        lucene::util::StringReader whole(text.c_str(), static_cast<std::int32_t>(text.size()), false);
        EXPECT_EQ(terms(*remembering.reusableTokenStream(L"artist", &whole)), "three word text");
    }
}
