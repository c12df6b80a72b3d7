#include "library/PlaylistItemPrinter.h"
#include "library/PlaylistReaders.h"

#include <gtest/gtest.h>

#include <climits>

using library::PlaylistItem;
using library::PlaylistLimits;

namespace {

std::vector<PlaylistItem> m3u(std::string_view text)
{
    std::vector<PlaylistItem> items;
    library::readM3u(text, items);
    return items;
}

std::vector<PlaylistItem> pls(std::string_view text)
{
    std::vector<PlaylistItem> items;
    library::readPls(text, items);
    return items;
}

struct Case {
    const char* name;
    std::string text;
    std::vector<PlaylistItem> items;
};

const std::string longLine(PlaylistLimits::maxLineLength + 1, 'x');
const std::string longestLine(PlaylistLimits::maxLineLength, 'y');

} // namespace

TEST(PlaylistReaders, LeadingIntegerReadsLikeAtoi)
{
    using library::leadingInteger;
    EXPECT_EQ(leadingInteger("215,Song"), 215);
    EXPECT_EQ(leadingInteger("-1,Radio"), -1);
    EXPECT_EQ(leadingInteger("  +42x"), 42);
    EXPECT_EQ(leadingInteger("\t\n7"), 7);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("-"), 0);
    EXPECT_EQ(leadingInteger("- 5"), 0);
    EXPECT_EQ(leadingInteger("2147483647"), INT32_MAX);
    EXPECT_EQ(leadingInteger("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(leadingInteger("-2147483648"), INT32_MIN);
    EXPECT_EQ(leadingInteger("-99999999999999999999999"), INT32_MIN);
}

TEST(PlaylistReaders, M3uTable)
{
    const Case cases[] = {
        {"extended", "#EXTM3U\n#EXTINF:215,Song\n/music/a.mp3\n", {{"/music/a.mp3", "Song", 215}}},
        {"extended CRLF", "#EXTM3U\r\n#EXTINF:-1,Radio\r\nhttp://radio.example/live\r\n",
         {{"http://radio.example/live", "Radio", -1}}},
        {"relative, absolute and URL paths, comments and blank lines passed over",
         "#EXTM3U\n# a comment\n\nstray.mp3\n#EXTINF:10,Rel\nsub/rel.mp3\n#EXTINF:20,Abs\n/abs/a.ogg\n"
         "#EXTINF:30,Url\nhttp://peer:5151/download?path=%2fa.mp3\n#EXTINF:0,Win\nC:\\Music\\w.mp3",
         {{"stray.mp3", "stray.mp3", 0},
          {"sub/rel.mp3", "Rel", 10},
          {"/abs/a.ogg", "Abs", 20},
          {"http://peer:5151/download?path=%2fa.mp3", "Url", 30},
          {"C:\\Music\\w.mp3", "Win", 0}}},
        {"title after the first comma", "#EXTM3U\n#EXTINF:3,a, b,c\np\n", {{"p", "a, b,c", 3}}},
        {"no comma: the whole line is the title", "#EXTM3U\n#EXTINF:12\np\n", {{"p", "#EXTINF:12", 12}}},
        {"junk lengths", "#EXTM3U\n#EXTINF:abc,T\np\n#EXTINF: 42 ,U\nq\n#EXTINF:,V\nr\n",
         {{"p", "T", 0}, {"q", "U", 42}, {"r", "V", 0}}},
        {"the line after #EXTINF: is the path, whatever it holds",
         "#EXTM3U\n#EXTINF:1,A\n#EXTINF:2,B\nb.mp3\n#EXTINF:3,C\n\n",
         {{"#EXTINF:2,B", "A", 1}, {"b.mp3", "b.mp3", 0}, {"", "C", 3}}},
        {"extended without #EXTINF: lines", "#EXTM3U\n/m/a.mp3\r\nsub/b.mp3",
         {{"/m/a.mp3", "/m/a.mp3", 0}, {"sub/b.mp3", "sub/b.mp3", 0}}},
        {"#EXTINF: at the end gives nothing", "#EXTM3U\n#EXTINF:1,A\na.mp3\n#EXTINF:2,B", {{"a.mp3", "A", 1}}},
        {"header with a trailing blank: simple", "#EXTM3U \n#EXTINF:1,A\na.mp3\n",
         {{"#EXTM3U ", "#EXTM3U ", 0}, {"#EXTINF:1,A", "#EXTINF:1,A", 0}, {"a.mp3", "a.mp3", 0}}},
        {"simple keeps blank and comment lines, last line without break",
         "a.mp3\n\n# note\r\nsub/b.mp3",
         {{"a.mp3", "a.mp3", 0}, {"", "", 0}, {"# note", "# note", 0}, {"sub/b.mp3", "sub/b.mp3", 0}}},
        {"a lone CR stays in the line", "a.mp3\rb\n", {{"a.mp3\rb", "a.mp3\rb", 0}}},
        {"empty text", "", {}},
        {"one line break", "\n", {{"", "", 0}}},
        {"header only", "#EXTM3U\n", {}},
        {"bytes as they are", "#EXTM3U\n#EXTINF:1,\xC3\xA9t\xC3\xA9\n/m/\xE9t\xE9.mp3\n",
         {{"/m/\xE9t\xE9.mp3", "\xC3\xA9t\xC3\xA9", 1}}},
        {"simple: an over-long line is passed over", "a\n" + longLine + "\n" + longestLine + "\nb",
         {{"a", "a", 0}, {longestLine, longestLine, 0}, {"b", "b", 0}}},
        {"extended: an over-long path drops its item",
         "#EXTM3U\n#EXTINF:1,A\n" + longLine + "\n#EXTINF:2,B\nb.mp3\n", {{"b.mp3", "B", 2}}},
        {"extended: an over-long #EXTINF: line gives no title",
         "#EXTM3U\n#EXTINF:1," + longLine + "\na.mp3\n#EXTINF:2,B\nb.mp3\n",
         {{"a.mp3", "a.mp3", 0}, {"b.mp3", "B", 2}}},
        {"extended: an over-long first line makes it simple", longLine + "\nx\n", {{"x", "x", 0}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(m3u(c.text), c.items) << c.name;
}

TEST(PlaylistReaders, PlsTable)
{
    const Case cases[] = {
        {"complete", "[playlist]\nFile1=/music/a.mp3\nTitle1=A\nLength1=215\nNumberOfEntries=1\nVersion=2\n",
         {{"/music/a.mp3", "A", 215}}},
        {"CRLF, entries in any order",
         "[playlist]\r\nNumberOfEntries=2\r\nFile2=http://radio/x\r\nLength2=-1\r\nFile1=rel/a.mp3\r\nTitle2=R\r\n",
         {{"rel/a.mp3", "", 0}, {"http://radio/x", "R", -1}}},
        {"declared entries without keys are empty", "[playlist]\nNumberOfEntries=2\nFile1=a.mp3\n",
         {{"a.mp3", "", 0}, {"", "", 0}}},
        {"entries above the count are not read", "[playlist]\nNumberOfEntries=1\nFile1=a\nFile2=b\n", {{"a", "", 0}}},
        {"no count, no items", "[playlist]\nFile1=a\n", {}},
        {"negative or junk count", "[playlist]\nNumberOfEntries=-3\nFile1=a\n", {}},
        {"count with text after it", "[playlist]\nNumberOfEntries=1 entries\nFile1=a\n", {{"a", "", 0}}},
        {"header case matters", "[Playlist]\nNumberOfEntries=1\nFile1=a\n", {}},
        {"header must come first", " [playlist]\nNumberOfEntries=1\nFile1=a\n", {}},
        {"only ten header bytes count", "[playlist]\rjunk\nNumberOfEntries=1\nFile1=a\n", {{"a", "", 0}}},
        {"blanks after = skipped, key untrimmed",
         "[playlist]\nNumberOfEntries=2\nFile1=  \t a b.mp3 \nFile2 =b\nTitle2= T\n",
         {{"a b.mp3 ", "", 0}, {"", "T", 0}}},
        {"a later line wins", "[playlist]\nNumberOfEntries=1\nFile1=a\nFile1=b\n", {{"b", "", 0}}},
        {"a final CR is dropped", "[playlist]\nNumberOfEntries=1\nFile1=a\nTitle1=T\r", {{"a", "T", 0}}},
        {"values keep later =", "[playlist]\nNumberOfEntries=1\nFile1=http://h/d?a=b&c=d\n",
         {{"http://h/d?a=b&c=d", "", 0}}},
        {"numbers without leading zeros", "[playlist]\nNumberOfEntries=1\nFile01=a\nfile1=b\n", {{"", "", 0}}},
        {"backslash paths stay as written", "[playlist]\nNumberOfEntries=1\nFile1=\\Music\\a.mp3\n",
         {{"\\Music\\a.mp3", "", 0}}},
        {"junk lines and lengths", "[playlist]\njunk\n=\n==x\nNumberOfEntries=1\nFile1=a\nLength1=long\n",
         {{"a", "", 0}}},
        {"an over-long line is passed over",
         "[playlist]\nNumberOfEntries=2\nFile1=" + longLine + "\nFile2=b\nTitle1=A\n", {{"", "A", 0}, {"b", "", 0}}},
        {"empty text", "", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pls(c.text), c.items) << c.name;
}

TEST(PlaylistReaders, EntryCountsAreCapped)
{
    const std::vector<PlaylistItem> declared = pls("[playlist]\nNumberOfEntries=2147483647\nFile1=a\n");
    ASSERT_EQ(declared.size(), PlaylistLimits::maxEntries);
    EXPECT_EQ(declared.front().path, "a");
    EXPECT_EQ(declared.back().path, "");

    std::string lines;
    for (std::size_t i = 0; i < PlaylistLimits::maxEntries + 5; ++i)
        lines += "a\n";
    EXPECT_EQ(m3u(lines).size(), PlaylistLimits::maxEntries);
    EXPECT_EQ(m3u("#EXTM3U\n" + [&] {
                  std::string extended;
                  for (std::size_t i = 0; i < PlaylistLimits::maxEntries + 5; ++i)
                      extended += "#EXTINF:1,t\np\n";
                  return extended;
              }()).size(),
              PlaylistLimits::maxEntries);
}

TEST(PlaylistReaders, TextBeyondTheByteLimitIsNotRead)
{
    // Padding up to 18 bytes short of the limit, so that the limit falls
    // inside the last path ("#EXTINF:2,Last\n" is 15 bytes).
    std::string text = "#EXTM3U\n#EXTINF:1,First\nfirst.mp3\n";
    const std::size_t lineSize = 1001;
    const std::size_t target = PlaylistLimits::maxTextBytes - 18;
    while (text.size() + lineSize < target)
        text += "#" + std::string(lineSize - 2, '-') + "\n";
    text += "#" + std::string(target - text.size() - 2, '-') + "\n";
    ASSERT_EQ(text.size(), target);
    const std::string last = "#EXTINF:2,Last\nlast.mp3\n";

    // Neither the entry past the limit nor the piece of it inside.
    EXPECT_EQ(m3u(text + last), (std::vector<PlaylistItem>{{"first.mp3", "First", 1}}));
    const std::string simple = "first.mp3\n" + std::string(PlaylistLimits::maxTextBytes - 12, '#') + "\nlast.mp3\n";
    EXPECT_EQ(m3u(simple).size(), 1u);
    // Below the limit the same entry is read.
    EXPECT_EQ(m3u("#EXTM3U\n#EXTINF:1,First\nfirst.mp3\n" + last).size(), 2u);
}
