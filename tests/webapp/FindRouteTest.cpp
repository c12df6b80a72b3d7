// "find.js" over loopback: the answer byte for byte for a tagged hit, paging
// past 500 with the total, sorting, the callback, and hits outside the
// shared directories left out.
#include "ServedLibrary.h"
#include "library/IndexFields.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "library/TestIndex.h"
#include "message/UrlCoding.h"

#include <regex>

namespace {

using webapptest::ServedLibrary;

std::vector<std::string> namesIn(const std::string& body)
{
    static const std::regex name(R"re(\{"name" : "([^"]*)")re");
    std::vector<std::string> names;
    for (std::sregex_iterator at(body.begin(), body.end(), name), end; at != end; ++at)
        names.push_back((*at)[1]);
    return names;
}

class FindScript : public ServedLibrary {
protected:
    void SetUp() override
    {
        std::vector<librarytest::IndexedEntry> entries;
        for (int i = 0; i < 600; ++i)
            entries.push_back({music + "/Song " + std::to_string(1000 + i) + ".mp3", 0x80,
                               static_cast<std::uint32_t>(i), 0, {}});
        // Indexed once, shared no longer.
        for (int i = 0; i < 7; ++i)
            entries.push_back({dir.path("gone") + "/Song " + std::to_string(i) + ".mp3", 0x80, 0, 0, {}});
        entries.push_back({file(more + "/Cafe/Café.flac"), 0x80, 1234, 133444736000000000,
                           [] {
                               library::TrackTags tags;
                               tags.artist = "Björk";
                               tags.title = "Café";
                               tags.track = 3;
                               tags.year = 1997;
                               tags.durationMs = 201000;
                               return tags;
                           }()});
        file(more + "/Cafe/Cover.JPG");
        ASSERT_TRUE(librarytest::writeIndex(application.library->indexer().indexDirectory(), entries));
        ServedLibrary::SetUp();
    }
};

} // namespace

TEST_F(FindScript, AnswersOneHitWithItsFacts)
{
    const std::string path = more + "/Cafe/Café.flac";
    const std::string expected =
        "cb({\"query\" : \"cafe\",\"total\" : \"1\",\"start\" : \"0\",\"files\" : [\n"
        "{\"name\" : \"Caf%c3%a9%2eflac\",\"path\" : \"" + http::urlEncode(path) + "\",\"type\" : \"flac\","
        "\"size\" : \"1234\",\"modified\" : \"1700000000\",\"duration\" : \"201000\",\"title\" : \"Caf%c3%a9\","
        "\"artist\" : \"Bj%c3%b6rk\",\"album\" : \"\",\"albumartist\" : \"\",\"track\" : \"3\",\"disc\" : \"0\","
        "\"year\" : \"1997\",\"genre\" : \"\",\"cover\" : \"" +
        http::urlEncode("cover?path=" + http::urlEncode(path)) + "\"}]});";
    EXPECT_EQ(get("find.js", {{"q", "cafe"}, {"callback", "cb"}}).body, expected);
}

TEST_F(FindScript, PagesSortsAndCounts)
{
    struct Case {
        Parameters parameters;
        std::string total;
        std::size_t entries;
        std::vector<std::string> first;
    };
    const Case cases[] = {
        {{{"q", "song"}, {"start", "550"}}, "600", 50, {}},
        {{{"q", "song"}, {"count", "5000"}}, "600", 600, {}},
        {{{"q", "song"}}, "600", 100, {}},
        {{{"q", "song"}, {"sortby", "0"}, {"sortdir", "1"}, {"count", "2"}}, "600", 2, {"Song%201599%2emp3", "Song%201598%2emp3"}},
        {{{"q", "song"}, {"sortby", "2"}, {"start", "10"}, {"count", "1"}}, "600", 1, {"Song%201010%2emp3"}},
        {{{"q", "song \"unbalanced"}}, "0", 0, {}},
        {{{"q", ""}}, "0", 0, {}},
    };
    for (const Case& c : cases) {
        const std::string body = get("find.js", c.parameters).body;
        EXPECT_NE(body.find("\"total\" : \"" + c.total + "\""), std::string::npos) << body.substr(0, 80);
        const std::vector<std::string> names = namesIn(body);
        EXPECT_EQ(names.size(), c.entries) << c.parameters.begin()->second;
        for (std::size_t i = 0; i < c.first.size() && i < names.size(); ++i)
            EXPECT_EQ(names[i], c.first[i]);
    }
    // The callback asked for wraps the answer.
    EXPECT_TRUE(get("find.js", {{"q", "song"}, {"callback", "x.y"}}).body.starts_with("x.y({\"query\" : \"song\""));
}
