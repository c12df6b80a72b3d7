// Search over an index written directly (names and tags): accents folded,
// CJK runs found by any pair inside them, tag fields, and `find`'s pages,
// totals and sort orders.
#include "library/IndexFields.h"
#include "library/LibrarySearch.h"
#include "library/TempTree.h"
#include "library/TestIndex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using library::LibrarySearch;
using librarytest::IndexedEntry;
using librarytest::TempTree;
using Names = std::vector<std::string>;

namespace {

Names namesOf(const std::vector<LibrarySearch::Hit>& hits)
{
    Names names;
    for (const LibrarySearch::Hit& hit : hits)
        names.push_back(hit.entry.path.substr(hit.entry.path.rfind('/') + 1));
    return names;
}

IndexedEntry file(std::string path)
{
    return {std::move(path), 0x80, 0, 0, {}};
}

LibrarySearch::FindRequest page(std::size_t start, std::size_t count, LibrarySearch::SortKey key,
                                bool descending = false, bool foldersOnly = false)
{
    LibrarySearch::FindRequest request;
    request.foldersOnly = foldersOnly;
    request.start = start;
    request.count = count;
    request.sortBy = key;
    request.descending = descending;
    return request;
}

} // namespace

TEST(SearchTerms, AccentsCjkAndTagFields)
{
    TempTree tree;
    ASSERT_TRUE(librarytest::writeIndex(
        tree.directory("index"), {
                       file("/m/Café Noir.mp3"),
                       file("/m/Nāndu Live.mp3"),
                       file("/m/Cafe\xCC\x81 Tacuba.mp3"),  // decomposed, as some file systems write it
                       file("/m/Ørsted Straße.mp3"),
                       file("/m/ＦＵＬＬ Width.mp3"),
                       file("/m/日本語の歌 東京.mp3"),
                       file("/m/東京事変.mp3"),
                       file("/m/사랑의 노래방.mp3"),
                       {"/m/Plain Cafe.mp3", 0x80, 0, 0,
                        [] {
                            library::TrackTags tags;
                            tags.artist = "Björk";
                            tags.album = "Abbey Road";
                            tags.title = "Crème";
                            tags.genre = "Jazz";
                            tags.year = 1969;
                            return tags;
                        }()},
                   }));
    const LibrarySearch search(tree.path("index"));
    struct Case {
        std::string query;
        Names names;
    };
    const Case cases[] = {
        // Either side may carry the accents.
        {"cafe", {"Cafe\xCC\x81 Tacuba.mp3", "Café Noir.mp3", "Plain Cafe.mp3"}},
        {"café noir", {"Café Noir.mp3"}},
        {"CAFÉ tacuba", {"Cafe\xCC\x81 Tacuba.mp3"}},
        {"nandu", {"Nāndu Live.mp3"}},
        {"Nāndu", {"Nāndu Live.mp3"}},
        {"orsted strasse", {"Ørsted Straße.mp3"}},
        {"ørsted straße", {"Ørsted Straße.mp3"}},
        {"full", {"ＦＵＬＬ Width.mp3"}},
        {"nān*", {"Nāndu Live.mp3"}},
        {"caf? noir", {"Café Noir.mp3"}},
        // CJK: any pair inside a run, in order; one character anywhere.
        {"日本語", {"日本語の歌 東京.mp3"}},
        {"語の歌", {"日本語の歌 東京.mp3"}},
        {"東京", {"日本語の歌 東京.mp3", "東京事変.mp3"}},
        {"本日", {}},
        {"歌", {"日本語の歌 東京.mp3"}},
        {"京", {"日本語の歌 東京.mp3", "東京事変.mp3"}},
        {"노래", {"사랑의 노래방.mp3"}},
        // Tag fields, folded too; the default field stays the name.
        {"artist:bjork", {"Plain Cafe.mp3"}},
        {"album:\"abbey road\" genre:jazz", {"Plain Cafe.mp3"}},
        {"title:creme year:1969", {"Plain Cafe.mp3"}},
        {"year:1970", {}},
        {"bjork", {}},
    };
    for (const Case& c : cases) {
        LibrarySearch::FindRequest request;
        request.count = 50;
        Names names = namesOf(search.find(c.query, request).hits);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.names) << c.query;
    }
}

TEST(SearchPages, TotalsPagesAndSortOrders)
{
    TempTree tree;
    std::vector<IndexedEntry> entries;
    // 1,200 songs, even ones in /m/a, odd ones in /m/b, and 30 folders.
    for (int i = 0; i < 1200; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Song %04d.mp3", i);
        entries.push_back({std::string(i % 2 == 0 ? "/m/a/" : "/m/b/") + name, 0x80,
                           static_cast<std::uint32_t>((i * 7919) % 1200), static_cast<std::uint64_t>(1200 - i),
                           [i] {
                               library::TrackTags tags;
                               tags.track = i % 5;
                               tags.disc = i % 3;
                               tags.artist = i % 3 == 0 ? "Zed" : "Abba";
                               tags.album = i % 2 == 0 ? "A" : "B";
                               tags.title = "T" + std::to_string(i % 7);
                               tags.durationMs = (i * 37) % 1200;
                               return tags;
                           }()});
    }
    for (int i = 0; i < 30; ++i)
        entries.push_back({"/m/a/Song Folder " + std::to_string(i), 0x10, 0, 0, {}});
    ASSERT_TRUE(librarytest::writeIndex(tree.directory("index"), entries));
    const LibrarySearch search(tree.path("index"));
    using Key = LibrarySearch::SortKey;

    struct Case {
        const char* label;
        LibrarySearch::FindRequest request;
        bool onlyA;
        std::size_t total;
        std::size_t pageSize;
        Names first;
    };
    const Case cases[] = {
        {"past 500", page(1150, 100, Key::relevance), false, 1230, 80, {}},
        {"past the end", page(5000, 100, Key::relevance), false, 1230, 0, {}},
        {"name", page(0, 3, Key::name), false, 1230, 3, {"Song 0000.mp3", "Song 0001.mp3", "Song 0002.mp3"}},
        {"name down", page(1, 2, Key::name, true), false, 1230, 2, {"Song Folder 8", "Song Folder 7"}},
        {"size down", page(0, 2, Key::size, true), false, 1230, 2, {"Song 0721.mp3", "Song 0242.mp3"}},
        {"modified", page(0, 2, Key::modified), false, 1230, 2, {"Song Folder 0", "Song Folder 1"}},
        {"disc, track", page(30, 2, Key::track), false, 1230, 2, {"Song 0450.mp3", "Song 0465.mp3"}},
        // Tag keys: hits that tie keep the relevance order (files before the
        // folders, which have no tags), in either direction.
        {"artist down", page(0, 2, Key::artist, true), false, 1230, 2, {"Song 0000.mp3", "Song 0003.mp3"}},
        {"album", page(30, 2, Key::album), false, 1230, 2, {"Song 0000.mp3", "Song 0002.mp3"}},
        {"title down", page(0, 2, Key::title, true), false, 1230, 2, {"Song 0006.mp3", "Song 0013.mp3"}},
        {"duration", page(0, 2, Key::duration), false, 1230, 2, {"Song 0000.mp3", "Song Folder 0"}},
        {"folders", page(0, 100, Key::name, false, true), false, 30, 30, {"Song Folder 0", "Song Folder 1"}},
        {"shared only", page(0, 1000, Key::name), true, 630, 630, {"Song 0000.mp3", "Song 0002.mp3"}},
    };
    for (const Case& c : cases) {
        const LibrarySearch::PathFilter keep = [&c](std::string_view path) {
            return !c.onlyA || path.starts_with("/m/a/");
        };
        // Asked per hit, and through the facts kept per index and filter.
        for (const std::string_view identity : {"", c.onlyA ? "a" : "all"}) {
            const LibrarySearch::Page page = search.find("song", c.request, keep, identity);
            EXPECT_EQ(page.total, c.total) << c.label << identity;
            EXPECT_EQ(page.hits.size(), c.pageSize) << c.label << identity;
            const Names names = namesOf(page.hits);
            const Names first(names.begin(),
                              names.begin() + static_cast<std::ptrdiff_t>(std::min(names.size(), c.first.size())));
            EXPECT_EQ(first, c.first) << c.label << identity;
        }
    }
    // What `find` reads back of a hit.
    const LibrarySearch::Page one = search.find("0007", {});
    ASSERT_EQ(one.hits.size(), 1u);
    EXPECT_EQ(one.hits[0].entry.size, 7u * 7919 % 1200);
    EXPECT_EQ(one.hits[0].entry.modified.value(), 1193u);
    EXPECT_EQ(one.hits[0].tags.disc, 1);
    EXPECT_EQ(one.hits[0].tags.track, 2);
}

TEST(SearchPages, SearchesAtOnceShareOneReadOfTheFacts)
{
    TempTree tree;
    std::vector<IndexedEntry> entries;
    for (int i = 0; i < 300; ++i)
        entries.push_back({"/m/Tune " + std::to_string(i) + ".mp3", 0x80, static_cast<std::uint32_t>(i), 0, {}});
    ASSERT_TRUE(librarytest::writeIndex(tree.directory("index"), entries));
    const LibrarySearch search(tree.path("index"));
    std::vector<std::size_t> totals(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < totals.size(); ++t)
        threads.emplace_back([&, t] {
            LibrarySearch::FindRequest request = page(0, 10, LibrarySearch::SortKey::size, true);
            totals[t] = search.find("tune", request, [t](std::string_view) { return t != 3; }, t == 3 ? "none" : "all")
                            .total;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(totals, (std::vector<std::size_t>{300, 300, 300, 0}));
}
