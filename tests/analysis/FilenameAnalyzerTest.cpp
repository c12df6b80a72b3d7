#include "analysis/NameTerms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Terms = std::vector<std::string>;

namespace {

struct Case {
    std::string name;
    Terms terms;
};

void expectTerms(const std::vector<Case>& cases)
{
    for (const Case& c : cases)
        EXPECT_EQ(analysis::nameTerms(c.name), c.terms) << "name: " << c.name;
}

} // namespace

TEST(FilenameAnalyzer, ReadRulesOfAsciiNames)
{
    expectTerms({
        // Words, separators and the engine's lower-casing; no stop words.
        {"01 - Artist_Name - Title", {"01", "artist", "name", "title"}},
        {"AC/DC - Back In Black", {"ac", "dc", "back", "in", "black"}},
        {"(Live) [Remix]", {"live", "remix"}},
        {"The Best of a Band", {"the", "best", "of", "a", "band"}},
        {"track01", {"track01"}},
        {"2Pac Greatest", {"2", "pac", "greatest"}},
        {"a\vb", {"a", "b"}},
        // Apostrophes: inner ones stay, "'s" goes in either case, a trailing
        // one is dropped.
        {"Don't Stop", {"don't", "stop"}},
        {"Artist's Best", {"artist", "best"}},
        {"ARTIST'S", {"artist"}},
        {"Guns N' Roses", {"guns", "n", "roses"}},
        {"rock'n'roll", {"rock'n", "roll"}},
        // Dotted words and acronyms; a trailing dot is never kept.
        {"Live.At.Wembley", {"live.at.wembley"}},
        {"Vol.2", {"vol.2"}},
        {"Disc.1 Live.", {"disc.1", "live"}},
        {"Vol. 2", {"vol", "2"}},
        {"U.S.A. Tour", {"usa", "tour"}},
        {"U.S.A", {"u.s.a"}},
        {"A.Bc.", {"a.bc"}},
        {"Live..At", {"live", "at"}},
        {"a.b-.c", {"a.b", "c"}},
        {"one.two_three", {"one.two_three"}},
        // Companies and e-mail addresses.
        {"AT&T Ad", {"at&t", "ad"}},
        {"AT& T", {"at", "t"}},
        {"me@example.com", {"me@example.com"}},
        {"foo@bar baz", {"foo@bar", "baz"}},
        {"list.name@host.org", {"list.name@host.org"}},
        // Numbers, signs and hosts.
        {"a - b", {"a", "b"}},
        {"-5", {"-5"}},
        {"--5 x-", {"-5", "x"}},
        {"1.5 5. 6..", {"1.5", "5", "6"}},
        {"1999.12.31 Party", {"1999.12.31", "party"}},
        {"192.168.0.1", {"192.168.0.1"}},
        {"1.2.x", {"1.2", "x"}},
        {"12-3", {"12", "-3"}},
        // Signs that start no term vanish.
        {"#1 !!! +x", {"1", "x"}},
        {"", {}},
    });
}

TEST(FilenameAnalyzer, TermsStopAt255Characters)
{
    const std::string letters(300, 'a');
    expectTerms({
        {letters, {std::string(255, 'a'), std::string(44, 'a')}},
        {std::string(300, '7'), {std::string(255, '7'), std::string(45, '7')}},
    });
    // Nothing the analyzer makes is ever longer, whatever the input.
    const std::string mixed = std::string(250, 'b') + "." + std::string(20, 'c') + "@" + std::string(40, 'd');
    for (const std::string& term : analysis::nameTerms(mixed))
        EXPECT_LE(term.size(), 255u);
}

TEST(FilenameAnalyzer, Utf8LettersAreLetters)
{
    expectTerms({
        {"Björk - Jóga", {"björk", "jóga"}},
        {"東京事変", {"東京事変"}},
        {"ΑΒΓ Δέλτα", {"αβγ", "δέλτα"}},
        {"Émile's Café.Noir", {"émile", "café.noir"}},
        {"Мумий Тролль_2001", {"мумий", "тролль", "2001"}},
        // Signs above ASCII still separate words.
        {"a\xE2\x80\x94" "b", {"a", "b"}},
    });
}

TEST(FilenameAnalyzer, BytesThatAreNotUtf8EndWordsAndVanish)
{
    expectTerms({
        // Latin-1 bytes: every byte above 0x7f splits the word and is dropped.
        {"Caf\xE9 Noir", {"caf", "noir"}},
        {"Bj\xF6rk", {"bj", "rk"}},
        {"\xC3(", {}},
        // A truncated sequence at the end, an overlong "/" and a surrogate.
        {"ab\xE6\x9D", {"ab"}},
        {"x\xC0\xAFy", {"x", "y"}},
        {"p\xED\xA0\x80q", {"p", "q"}},
    });
}
