#include "webclient/Resources.h"
#include "WebclientTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace webclient {
namespace {

using test::text;

// The files the server sends through its template step, and the names that
// step fills in.
const std::set<std::string> kTemplated = {"", "library", "httpdeck.js", "console.js", "json.js"};
const std::set<std::string> kPlaceholders = {"PLAYLIST_ID", "ML_ENABLED", "VERSION", "SESSION_NAME"};

// Routes the server answers itself rather than from a file.
const std::set<std::string> kDynamic = {"playlist.xml", "consolestatus.xml", "library.js", "favorites.js",
                                        "events.js", "peerlibrary.js", "playlisttracks.js", "files.js", "find.js",
                                        "artists.js", "albums.js", "album.js", "genres.js", "years.js", "peeryears.js", "peerfind.js"};

/// The placeholder names the server's template step would meet in text:
/// each "<<" up to the next ">>", scanning on after the placeholder.
std::vector<std::string> placeholders(const std::string& text)
{
    std::vector<std::string> names;
    size_t at = 0;
    while ((at = text.find("<<", at)) != std::string::npos) {
        size_t end = text.find(">>", at);
        if (end == std::string::npos)
            break;
        names.push_back(text.substr(at + 2, end - at - 2));
        at = end + 2;
    }
    return names;
}

/// The text after each occurrence of marker up to the next terminator.
std::vector<std::string> valuesAfter(const std::string& text, const std::string& marker, char terminator = '"')
{
    std::vector<std::string> found;
    for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        size_t start = at + marker.size();
        size_t end = text.find(terminator, start);
        if (end != std::string::npos)
            found.push_back(text.substr(start, end - start));
    }
    return found;
}

/// The src and href attribute values of a page.
std::vector<std::string> attributes(const std::string& page)
{
    std::vector<std::string> found = valuesAfter(page, " src=\"");
    for (const std::string& href : valuesAfter(page, " href=\""))
        found.push_back(href);
    return found;
}

/// The url(...) values of a style sheet, without quotes.
std::vector<std::string> cssUrls(const std::string& sheet)
{
    std::vector<std::string> found;
    for (std::string value : valuesAfter(sheet, "url(", ')')) {
        if (!value.empty() && (value.front() == '"' || value.front() == '\''))
            value = value.substr(1, value.size() - 2);
        found.push_back(value);
    }
    return found;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

/// The double-quoted literals of a script that name a file with one of the
/// given extensions ("mp3.gif", "library.js").
std::vector<std::string> fileLiterals(const std::string& script, const std::vector<std::string>& extensions)
{
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = script.find('"', at)) != std::string::npos) {
        size_t end = script.find('"', at + 1);
        if (end == std::string::npos)
            break;
        std::string literal = script.substr(at + 1, end - at - 1);
        at = end + 1;
        bool plain = !literal.empty() && std::all_of(literal.begin(), literal.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
        });
        bool named = std::any_of(extensions.begin(), extensions.end(),
                                 [&](const std::string& ext) { return endsWith(literal, "." + ext); });
        if (plain && named)
            found.push_back(literal);
    }
    return found;
}

TEST(WebclientPages, PlaceholdersSitWhereTheServerFillsThem)
{
    EXPECT_NE(text("").find("<title>Tunelet v<<VERSION>></title>"), std::string::npos);
    EXPECT_NE(text("library").find("<title>Tunelet v<<VERSION>>"), std::string::npos);
    EXPECT_NE(text("httpdeck.js").find("HttpDeck.PLAYLIST_ID = \"<<PLAYLIST_ID>>\""), std::string::npos);
    EXPECT_NE(text("console.js").find("\"<<ML_ENABLED>>\" === \"true\""), std::string::npos);
    EXPECT_NE(text("json.js").find("SESSION_NAME = \"<<SESSION_NAME>>\""), std::string::npos);
    EXPECT_NE(text("json.js").find("Cookies.getRaw(SESSION_NAME)"), std::string::npos);
}

TEST(WebclientPages, TemplateStepMeetsOnlyKnownPlaceholders)
{
    // An operator like "<<" in a templated file would swallow text up to
    // the next ">>"; a placeholder in a file sent as it is would reach the
    // browser unfilled.
    for (const Resource& resource : allResources()) {
        if (resource.type != kHtmlType)
            continue;
        std::string route(resource.route);
        SCOPED_TRACE("route \"" + route + "\"");
        std::vector<std::string> names = placeholders(std::string(resource.bytes));
        if (kTemplated.count(route)) {
            EXPECT_FALSE(names.empty());
            for (const std::string& name : names)
                EXPECT_TRUE(kPlaceholders.count(name)) << "<<" << name << ">>";
        } else {
            EXPECT_TRUE(names.empty()) << "<<" << names.front() << ">>";
        }
    }
}

TEST(WebclientPages, EverythingThePagesLoadIsEmbedded)
{
    for (const char* page : {"", "library"}) {
        SCOPED_TRACE(std::string("page \"") + page + "\"");
        std::vector<std::string> refs = attributes(text(page));
        EXPECT_GE(refs.size(), 20u);
        for (const std::string& ref : refs)
            EXPECT_NE(test::byRoute(ref), nullptr) << ref;
    }
    for (const char* sheet : {"playlist.css", "medialibrary.css"}) {
        for (const std::string& ref : cssUrls(text(sheet)))
            EXPECT_NE(test::byRoute(ref), nullptr) << sheet << ": " << ref;
    }
    for (const Resource& resource : allResources()) {
        if (!endsWith(std::string(resource.route), ".js"))
            continue;
        std::string script(resource.bytes);
        for (const std::string& ref : fileLiterals(script, {"gif", "jpg", "ico", "js", "css", "xml"})) {
            EXPECT_TRUE(test::byRoute(ref) != nullptr || kDynamic.count(ref))
                << resource.route << ": " << ref;
        }
    }
}

TEST(WebclientPages, EveryEmbeddedFileIsUsed)
{
    std::set<std::string> used;
    for (const Resource& resource : allResources()) {
        if (resource.type != kHtmlType)
            continue;
        std::string body(resource.bytes);
        std::vector<std::string> refs = attributes(body);
        for (const std::string& ref : cssUrls(body))
            refs.push_back(ref);
        for (const std::string& ref : fileLiterals(body, {"gif", "jpg", "ico", "png"}))
            refs.push_back(ref);
        used.insert(refs.begin(), refs.end());
    }
    for (const Resource& resource : allResources()) {
        if (resource.route.empty() || resource.route == "admin")
            continue; // the main page and the settings page are where the browser starts
        if (resource.route == "donate.gif") {
            // Still served under its name, but no page carries a donation button.
            EXPECT_FALSE(used.count("donate.gif")) << "a page shows the donation button";
            continue;
        }
        EXPECT_TRUE(used.count(std::string(resource.route))) << resource.route << " is never used";
    }
}

TEST(WebclientPages, PagesLoadScriptsAfterWhatTheyBuildOn)
{
    // Each script's globals must exist before a later script uses them.
    auto order = [](const std::string& page) {
        return valuesAfter(page, "<script src=\"");
    };
    auto before = [](const std::vector<std::string>& list, const std::string& a, const std::string& b) {
        auto pa = std::find(list.begin(), list.end(), a);
        auto pb = std::find(list.begin(), list.end(), b);
        return pa != list.end() && pb != list.end() && pa < pb;
    };
    std::vector<std::string> main = order(text(""));
    EXPECT_EQ(main.size(), 15u);
    for (const char* base : {"event.js", "cookie.js", "window.js"}) {
        for (const char* user : {"slider.js", "menu.js", "json.js", "console.js", "playlist.js", "medialibrary.js", "live.js"})
            EXPECT_TRUE(before(main, base, user)) << base << " before " << user;
    }
    std::vector<std::string> library = order(text("library"));
    for (const std::vector<std::string>* page : {&main, &library}) {
        EXPECT_TRUE(before(*page, "vlist.js", "medialibrary.js"));
        EXPECT_TRUE(before(*page, "medialibrary.js", "libviews.js"));
    }
    EXPECT_TRUE(before(library, "cookie.js", "json.js"));
    EXPECT_TRUE(before(library, "menu.js", "medialibrary.js"));
    EXPECT_TRUE(before(library, "json.js", "medialibrary.js"));
    EXPECT_EQ(std::count(library.begin(), library.end(), "httpdeck.js"), 0)
        << "the library page alone sends no player commands";
}

TEST(WebclientPages, PlaceholderScanMatchesTheServersRules)
{
    auto check = [](const std::string& input, std::vector<std::string> expected) {
        EXPECT_EQ(placeholders(input), expected) << input;
    };
    check("a <<VERSION>> b <<ML_ENABLED>>", {"VERSION", "ML_ENABLED"});
    check("x << 2; y >> 1", {" 2; y "});
    check("<< no end", {});
    check("plain", {});
}

} // namespace
} // namespace webclient
