// The covers' cache (atomic entries, the size bound, a folder that cannot be
// made) and an album path's first track read from an index.
#include "library/AlbumTrack.h"
#include "library/CoverCache.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/TempTree.h"
#include "message/UrlCoding.h"

#include <CLucene.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using librarytest::TempTree;

namespace {

std::string contentOf(const library::CoverCache::Entry& entry)
{
    std::string bytes(entry.status.size, '\0');
    EXPECT_EQ(platform::readAt(entry.file.get(), bytes.data(), bytes.size(), 0), static_cast<long>(bytes.size()));
    return bytes;
}

} // namespace

TEST(CoverCache, EntriesTheBoundAndAFolderThatCannotBeMade)
{
    TempTree tree;
    // Room for about two 5000-byte entries.
    library::CoverCache cache(tree.path("cache"), 12000);
    EXPECT_FALSE(cache.find("a"));
    const std::string bytes(5000, 'x');
    const auto now = fs::file_time_type::clock::now();
    for (const std::string key : {"a", "b", "c"}) {
        ASSERT_TRUE(cache.store(key, bytes + key));
        // Each entry older than the next by a day, as if stored then.
        fs::last_write_time(tree.path("cache/" + key), now - std::chrono::hours(24 * (3 - (key[0] - 'a'))));
    }
    ASSERT_TRUE(cache.store("d", ""));  // "no cover": an empty entry
    // Over the bound: the least recently used entries went first.
    EXPECT_FALSE(cache.find("a"));
    EXPECT_FALSE(cache.find("b"));
    ASSERT_TRUE(cache.find("c"));
    EXPECT_EQ(contentOf(*cache.find("c")), bytes + "c");
    ASSERT_TRUE(cache.find("d"));
    EXPECT_EQ(cache.find("d")->status.size, 0u);
    // Nothing but entries in the folder: no temporary left behind.
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(tree.path("cache")))
        names.insert(item.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"c", "d"}));

    tree.file("blocked", "a file where the folder would be");
    library::CoverCache blocked(tree.path("blocked/cache"));
    EXPECT_FALSE(blocked.store("a", bytes));
    EXPECT_FALSE(blocked.find("a"));
}

TEST(AlbumTrack, FirstByDiscTrackAndName)
{
    TempTree tree;
    const std::string indexDirectory = tree.path("index");
    {
        std::optional<library::IndexStore::Rebuild> rebuild = library::IndexStore(indexDirectory).beginRebuild();
        ASSERT_TRUE(rebuild);
        lucene::analysis::WhitespaceAnalyzer analyzer;
        lucene::index::IndexWriter writer(rebuild->path().c_str(), &analyzer, true);
        struct Track {
            const wchar_t *album, *path, *disc, *track;
        };
        for (const Track& t : std::vector<Track>{{L"Sigur R\u00f3s\x1f\u00c1g\u00e6tis", L"/m/b.mp3", L"1", L"2"},
                                                 {L"Sigur R\u00f3s\x1f\u00c1g\u00e6tis", L"/m/z.mp3", L"1", L"1"},
                                                 {L"Sigur R\u00f3s\x1f\u00c1g\u00e6tis", L"/m/a.mp3", L"2", L"1"},
                                                 {L"Sigur R\u00f3s\x1f\u00c1g\u00e6tis", L"/m/y.mp3", L"1", L"1"},
                                                 {L"Other\x1f\u00c1g\u00e6tis", L"/m/o.mp3", L"0", L"0"}}) {
            using lucene::document::Field;
            constexpr int key = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_UNTOKENIZED);
            constexpr int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
            lucene::document::Document document;
            document.add(*_CLNEW Field(library::fields::albumKey, t.album, key));
            document.add(*_CLNEW Field(library::fields::path, t.path, stored));
            document.add(*_CLNEW Field(library::fields::disc, t.disc, stored));
            document.add(*_CLNEW Field(library::fields::track, t.track, stored));
            writer.addDocument(&document);
        }
        writer.close();
        ASSERT_TRUE(rebuild->publish());
    }

    const std::string album = "album://" + http::urlEncode("Sigur R\u00f3s") + "/" + http::urlEncode("\u00c1g\u00e6tis");
    const auto all = [](std::string_view) { return true; };
    const auto notY = [](std::string_view path) { return path != "/m/y.mp3"; };
    const auto notYZ = [](std::string_view path) { return path != "/m/y.mp3" && path != "/m/z.mp3"; };
    struct Case {
        std::string path;
        std::function<bool(std::string_view)> keep;
        std::string first;
    };
    const std::vector<Case> cases = {
        {album, all, "/m/y.mp3"},  // disc 1 track 1, "y" before "z"
        {album, notY, "/m/z.mp3"},
        {album, notYZ, "/m/b.mp3"},  // disc 1 track 2 before disc 2 track 1
        {"album://Other/" + http::urlEncode("\u00c1g\u00e6tis"), all, "/m/o.mp3"},
        {"album://Sigur/" + http::urlEncode("\u00c1g\u00e6tis"), all, ""},
        {"album://" + http::urlEncode("Sigur R\u00f3s"), all, ""},
        {"/m/y.mp3", all, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(library::firstAlbumTrack(indexDirectory, c.path, c.keep), c.first) << c.path;
}
