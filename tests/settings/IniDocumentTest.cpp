#include "settings/IniDocument.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using host::IniDocument;

namespace {

std::optional<std::string> lookup(const IniDocument& document, const char* section, const char* key)
{
    std::optional<std::string_view> value = document.find(section, key);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

} // namespace

TEST(IniDocument, FindsKeysByCaseBlindNamesAndKeepsValuesRaw)
{
    IniDocument document = IniDocument::parse(
        "top=outside\n"
        "[Main]\n"
        "Alpha=1\n"
        "  BETA  =  two words  \n"
        "eq=a=b=c\n"
        "empty=\n"
        "alpha=second\n"
        "; note=comment\n"
        "[ other section ]\n"
        "alpha=other\n"
        "[main]\n"
        "gamma=in a repeated section\n");
    auto check = [&](const char* section, const char* key, std::optional<std::string> expected) {
        EXPECT_EQ(lookup(document, section, key), expected) << section << "/" << key;
    };
    check("main", "ALPHA", "1");              // first of two, any case
    check("MAIN", "beta", "  two words  ");   // name trimmed, value kept
    check("Main", "eq", "a=b=c");             // the first "=" ends the name
    check("Main", "empty", "");               // present but empty is not missing
    check("Main", "note", std::nullopt);      // a comment is no key
    check("Main", "top", std::nullopt);       // lines before any section
    check("Other Section", "alpha", "other"); // blanks around a section name
    check("Main", "gamma", std::nullopt);     // only the first section counts
    check("Missing", "alpha", std::nullopt);
}

TEST(IniDocument, ReadsCrLfFilesAndKeepsTheirLineEnding)
{
    IniDocument document = IniDocument::parse("[S]\r\nkey=value\r\nlast=no ending");
    EXPECT_EQ(lookup(document, "S", "key"), "value");
    EXPECT_EQ(lookup(document, "S", "last"), "no ending");
    document.set("S", "key", "new");
    EXPECT_EQ(document.text(), "[S]\r\nkey=new\r\nlast=no ending\r\n");

    // Stray CRs at line ends, in an LF file and on an unterminated last line.
    IniDocument mixed = IniDocument::parse("[S]\na=1\r\r\nb=2\r");
    EXPECT_EQ(lookup(mixed, "S", "a"), "1");
    EXPECT_EQ(lookup(mixed, "S", "b"), "2");
    EXPECT_EQ(mixed.text(), "[S]\na=1\nb=2\n");

    IniDocument marked = IniDocument::parse("\xEF\xBB\xBF[S]\nkey=1\n");
    EXPECT_EQ(lookup(marked, "S", "key"), "1");
    EXPECT_EQ(marked.text(), "\xEF\xBB\xBF[S]\nkey=1\n");
}

TEST(IniDocument, SetReplacesOneLineAndKeepsEveryOtherLine)
{
    const std::string original =
        "# written by hand\n"
        "[Main]\n"
        "; keep this comment\n"
        "Alpha = old\n"
        "unknown=kept\n"
        "\n"
        "[Other]\n"
        "alpha=untouched\n";
    IniDocument document = IniDocument::parse(original);
    document.set("main", "alpha", "new");
    document.set("Main", "added", "x");
    EXPECT_EQ(document.text(),
              "# written by hand\n"
              "[Main]\n"
              "; keep this comment\n"
              "alpha=new\n"
              "unknown=kept\n"
              "added=x\n"
              "\n"
              "[Other]\n"
              "alpha=untouched\n");

    IniDocument fresh;
    fresh.set("New", "a", "1");
    fresh.set("New", "b", "2");
    EXPECT_EQ(fresh.text(), "[New]\na=1\nb=2\n");

    IniDocument appended = IniDocument::parse("[Other]\nx=1");
    appended.set("New", "a", "1");
    EXPECT_EQ(appended.text(), "[Other]\nx=1\n\n[New]\na=1\n");
}

TEST(IniDocument, ValueWithLineBreakCannotInjectKeys)
{
    IniDocument document;
    document.set("S", "user", "bob\nrequirePassword=0");
    document.set("S", "pass", std::string("ab\0cd", 5));
    document.set("S", "other", "x\ry");
    EXPECT_EQ(document.text(), "[S]\nuser=bob\npass=ab\nother=x\n");
    EXPECT_EQ(IniDocument::parse(document.text()).find("S", "requirePassword"), std::nullopt);
}

TEST(IniDocument, JunkLinesAreKeptAndIgnored)
{
    const std::string junk = std::string("no equals sign\n=no name\n[\n]\n\x01\x02\xff=\n") +
                             "[unclosed\nk=in unclosed\n[T\n" + std::string(100000, 'z') + "\n[S]\nk=v\n";
    IniDocument document = IniDocument::parse(junk);
    EXPECT_EQ(lookup(document, "unclosed", "k"), "in unclosed");
    EXPECT_EQ(lookup(document, "S", "k"), "v");
    EXPECT_EQ(document.text(), junk);
    document.set("S", "k", "w");
    EXPECT_EQ(lookup(IniDocument::parse(document.text()), "S", "k"), "w");

    IniDocument empty = IniDocument::parse("");
    EXPECT_EQ(empty.lineCount(), 0u);
    EXPECT_EQ(empty.text(), "");
}
