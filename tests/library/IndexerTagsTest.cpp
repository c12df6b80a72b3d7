#include "library/IndexFixture.h"

#include "analysis/WideText.h"
#include "library/DirectoryEnumeration.h"
#include "library/DocumentFields.h"
#include "library/EntryFacts.h"
#include "library/IndexFields.h"
#include "library/IndexStore.h"
#include "library/IndexedFileTags.h"
#include "library/KnownEntries.h"
#include "library/MediaFiles.h"

#include <CLucene.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <utility>

using library::Indexer;
using library::KnownEntries;
using library::TrackTags;
using librarytest::found;
using librarytest::Metadata;
using Paths = std::vector<std::string>;

namespace {

/// Every term of `field` in the index in `folder`, as UTF-8.
std::set<std::string> termsOf(const std::string& folder, const wchar_t* field)
{
    std::set<std::string> terms;
    lucene::index::IndexReader* reader = lucene::index::IndexReader::open(folder.c_str());
    lucene::index::Term start(field, L"");
    lucene::index::TermEnum* all = reader->terms(&start);
    do {
        const lucene::index::Term* term = all->term(false);
        if (term == nullptr || std::wstring(term->field()) != field)
            break;
        terms.insert(analysis::encodeUtf8(term->text()));
    } while (all->next());
    all->close();
    _CLDELETE(all);
    reader->close();
    _CLDELETE(reader);
    return terms;
}

class IndexerTagsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        made = std::make_unique<librarytest::TempTree>();
        const std::string cover = made->path("cover.png");
        ASSERT_TRUE(librarytest::makeImage(cover));
        ASSERT_TRUE(librarytest::makeMediaFile(made->path("a.mp3"), {{"artist", "Nāndu Café"}, {"album", "Ōsaka"},
                                                                     {"title", "First Light"}, {"genre", "Jazz"},
                                                                     {"track", "1"}, {"date", "1999"}},
                                               cover));
        ASSERT_TRUE(librarytest::makeMediaFile(made->path("a2.mp3"), {{"artist", "Nāndu Café"}, {"album", "Ōsaka"},
                                                                      {"title", "Second Wind"}, {"track", "1"}},
                                               cover));
        ASSERT_TRUE(librarytest::makeMediaFile(made->path("b.flac"), {{"artist", "Solo"}, {"album_artist", "Band"},
                                                                      {"album", "Live 𠀀𠀁🎵"}, {"title", "Encore"},
                                                                      {"disc", "2"}, {"track", "7"}}));
    }
    static void TearDownTestSuite() { made.reset(); }

    /// Copies a made file into the library with the given modification time.
    std::string place(const std::string& made, const std::string& relative, long modified)
    {
        const std::string path = tree.path(relative);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file(IndexerTagsTest::made->path(made), path,
                                   std::filesystem::copy_options::overwrite_existing);
        librarytest::TempTree::setModified(path, modified);
        return path;
    }

    /// The tags the current index stores for `path` as it is now on disk.
    std::optional<TrackTags> storedTags(const std::string& path) const
    {
        const KnownEntries known = KnownEntries::load(library::IndexStore(indexDirectory).currentIndex());
        library::FindData data;
        EXPECT_TRUE(library::findFile(path, data)) << path;
        const std::int32_t number = known.find(path, {data.attributes, data.sizeLow, data.lastWriteTime.value()});
        EXPECT_GE(number, 0) << path;
        std::optional<TrackTags> tags;
        EXPECT_TRUE(known.tags(number, path, tags)) << path;
        return tags;
    }

    static std::unique_ptr<librarytest::TempTree> made;
    librarytest::TempTree tree;
    const std::string indexDirectory = tree.directory("index");
};

std::unique_ptr<librarytest::TempTree> IndexerTagsTest::made;

TEST_F(IndexerTagsTest, StoresTagsAndRereadsOnlyChangedFiles)
{
    const std::string music = tree.directory("music");
    const std::string a = place("a.mp3", "music/x/a.mp3", 1'000'000);
    const std::string b = place("b.flac", "music/x/b.flac", 1'000'000);
    const std::string junk = tree.file("music/junk.mp3", "no sound here");
    const std::string list = tree.file("music/list.m3u", "a.mp3\n");
    Indexer indexer({music}, {"mp3", "flac", "m3u"}, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    ASSERT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(indexer.tagReadCount(), 4u);  // the directory is not read

    struct Case {
        std::string query;
        Paths paths;
    };
    const Case cases[] = {
        {"artist:nāndu", {a}},
        {"album:live", {b}},
        {"album:𠀀𠀁", {b}},
        {"albumartist:band", {b}},
        {"title:light", {a}},
        {"genre:jazz", {a}},
        {"year:1999", {a}},
        {"encore", {}},  // a title is no name
        {"junk", {junk}},  // an unreadable file keeps its name
    };
    for (const Case& c : cases)
        EXPECT_EQ(found(indexDirectory, c.query), c.paths) << c.query;

    const std::string index = library::IndexStore(indexDirectory).currentIndex();
    EXPECT_EQ(termsOf(index, library::fields::artistKey), (std::set<std::string>{"Nāndu Café", "Band"}));
    EXPECT_EQ(termsOf(index, library::fields::albumKey),
              (std::set<std::string>{"Nāndu Café\x1fŌsaka", "Band\x1fLive 𠀀𠀁🎵"}));
    EXPECT_EQ(termsOf(index, library::fields::genreKey), std::set<std::string>{"Jazz"});
    const std::optional<TrackTags> bTags = storedTags(b);
    ASSERT_TRUE(bTags.has_value());
    EXPECT_EQ(bTags->title, "Encore");
    EXPECT_EQ(bTags->album, "Live 𠀀𠀁🎵");
    EXPECT_EQ(bTags->disc, 2);
    EXPECT_EQ(bTags->track, 7);
    EXPECT_GT(bTags->durationMs, 900);
    EXPECT_TRUE(storedTags(a)->hasPicture);
    EXPECT_FALSE(storedTags(junk).has_value());

    // Nothing changed: the tree is only crawled, and the index stays.
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(indexer.tagReadCount(), 0u);
    EXPECT_EQ(indexer.entryCount(), 5u);
    EXPECT_EQ(library::IndexStore(indexDirectory).currentIndex(), index);

    // One file's tags and time change, and a new one comes beside them: they
    // alone are read; the others keep their tags, and the unreadable one is
    // not tried again.
    place("a2.mp3", "music/x/a.mp3", 2'000'000);
    const std::string aa = place("a.mp3", "music/x/aa.mp3", 1'000'000);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_TRUE(indexer.lastRebuildComplete());
    EXPECT_EQ(indexer.tagReadCount(), 2u);
    EXPECT_NE(library::IndexStore(indexDirectory).currentIndex(), index);
    EXPECT_EQ(found(indexDirectory, "title:wind"), Paths{a});
    EXPECT_EQ(found(indexDirectory, "title:light"), Paths{aa});
    EXPECT_EQ(storedTags(b), bTags);
    EXPECT_FALSE(storedTags(junk).has_value());

    // An index written with other fields or another analyzer is not reused.
    std::ofstream(library::IndexStore(indexDirectory).currentIndex() + "/format", std::ios::trunc) << "documents 0";
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_EQ(indexer.tagReadCount(), 5u);
    EXPECT_EQ(storedTags(b), bTags);
}

TEST_F(IndexerTagsTest, FactsFilesDamagedOrOutOfStepWithTheIndexAreNeverTrusted)
{
    const std::string music = tree.directory("music");
    const std::string a = place("a.mp3", "music/a.mp3", 1'000'000);
    const std::string b = place("b.flac", "music/b.flac", 1'000'000);
    Indexer indexer({music}, {"mp3", "flac"}, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    const std::string index = library::IndexStore(indexDirectory).currentIndex();
    const std::string facts = index + "/facts";
    const std::optional<TrackTags> bTags = storedTags(b);
    ASSERT_TRUE(bTags.has_value());

    std::vector<std::pair<std::string, library::EntryFact>> written;
    ASSERT_TRUE(library::readEntryFacts(index, [&](const library::EntryFact& fact) {
        written.emplace_back(std::string(fact.path), fact);
    }));
    ASSERT_EQ(written.size(), 2u);
    const std::string whole = librarytest::contentOf(facts);
    const auto damage = [&](const char* how) {
        std::ofstream(facts, std::ios::binary | std::ios::trunc) << whole;
        if (how == std::string("missing")) {
            std::filesystem::remove(facts);
        } else if (how == std::string("cut short")) {
            std::filesystem::resize_file(facts, std::filesystem::file_size(facts) - 20);
        } else if (how == std::string("another version")) {
            std::fstream file(facts, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(-2, std::ios::end);
            file.put('9');
        } else if (how == std::string("a count past its size")) {
            std::fstream file(facts, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(-24, std::ios::end);
            file << std::string(8, '\xff');
        } else {  // the documents in the other order
            library::EntryFactsWriter writer(index);
            for (auto fact = written.rbegin(); fact != written.rend(); ++fact) {
                fact->second.path = fact->first;
                writer.add(fact->second);
            }
            ASSERT_TRUE(writer.finish());
        }
    };
    // However the file is, an unchanged tree is still known as one.
    for (const char* how : {"missing", "cut short", "another version", "a count past its size", "out of order"}) {
        damage(how);
        ASSERT_TRUE(librarytest::rebuild(indexer));
        EXPECT_EQ(indexer.tagReadCount(), 0u) << how;
        EXPECT_EQ(library::IndexStore(indexDirectory).currentIndex(), index) << how;
    }
    // Out of order, the facts name the other file's document: a rebuild
    // reads b again rather than give it a's tags.
    place("a.mp3", "music/a.mp3", 2'000'000);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_EQ(indexer.tagReadCount(), 2u);
    EXPECT_EQ(storedTags(b), bTags);
}

TEST_F(IndexerTagsTest, ListingsFindTheTagsOfEveryNameInTheIndex)
{
    // A listing looks each file up by the terms of its name, as the index
    // cut them: accents folded, CJK runs in pairs, characters above U+FFFF.
    const std::string music = tree.directory("music");
    std::vector<library::LibraryEntry> files;
    for (const char* name : {"plain", "Café Ōsaka", "日本語の歌", "京", "𠀀𠀁 x"}) {
        const std::string path = place("a.mp3", std::string("music/") + name + ".mp3", 1'000'000);
        library::FindData data;
        ASSERT_TRUE(library::findFile(path, data)) << path;
        files.push_back({path, data.attributes, data.lastWriteTime, data.sizeLow});
    }
    Indexer indexer({music}, {"mp3"}, indexDirectory);
    ASSERT_TRUE(librarytest::rebuild(indexer));
    const auto known = library::IndexedFileTags(indexDirectory).knownTags(files);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(known[i].has_value() && known[i]->title == "First Light") << files[i].path;
}

TEST_F(IndexerTagsTest, WithTagReadingOffIndexesNamesAlone)
{
    const std::string music = tree.directory("music");
    const std::string b = place("b.flac", "music/b.flac", 1'000'000);
    Indexer indexer({music}, {"flac"}, indexDirectory);
    ASSERT_TRUE(indexer.setTagReading(false));
    ASSERT_TRUE(librarytest::rebuild(indexer));
    EXPECT_EQ(indexer.tagReadCount(), 0u);
    EXPECT_EQ(found(indexDirectory, "b"), Paths{b});
    EXPECT_TRUE(found(indexDirectory, "album:live").empty());
    EXPECT_FALSE(storedTags(b).has_value());
}

} // namespace

namespace {

TEST(DocumentFields, EachDocumentHoldsOnlyTheFieldsAddedToIt)
{
    // Fields are reused from document to document: none may keep a value
    // of, or appear in, a document it was not added to.
    using lucene::document::Field;
    const int stored = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
    const int indexed = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
    using Fields = std::vector<std::pair<std::wstring, std::wstring>>;
    const std::vector<Fields> documents = {
        {{L"artist", L"X"}, {L"artist", L"Y"}, {L"duration", L"5"}},
        {{L"path", L"p"}},
        {{L"duration", L"7"}, {L"artist", L"Z"}},
    };
    librarytest::TempTree tree;
    const std::string folder = tree.directory("index");
    lucene::analysis::SimpleAnalyzer analyzer;
    {
        lucene::index::IndexWriter writer(folder.c_str(), &analyzer, true);
        library::DocumentFields document;
        for (const Fields& fields : documents) {
            document.clear();
            // The second "artist" of a document is indexed only, as a tag
            // text split in two fields is.
            bool artistSeen = false;
            for (const auto& [name, value] : fields) {
                const bool second = name == L"artist" && std::exchange(artistSeen, true);
                document.add(name.c_str(), value, second ? indexed : stored);
            }
            writer.addDocument(&document.document());
        }
        writer.close();
    }
    lucene::index::IndexReader* reader = lucene::index::IndexReader::open(folder.c_str());
    for (std::int32_t number = 0; number < reader->maxDoc(); ++number) {
        lucene::document::Document read;
        reader->document(number, read);
        Fields got;
        for (Field* field : *read.getFields())
            got.emplace_back(field->name(), field->stringValue());
        Fields wanted;
        for (const auto& field : documents[static_cast<std::size_t>(number)])
            if (field.second != L"Y")
                wanted.push_back(field);
        EXPECT_EQ(got, wanted) << number;
    }
    EXPECT_EQ(termsOf(folder, library::fields::artist), std::set<std::string>{"y"});
    reader->close();
    _CLDELETE(reader);
}

} // namespace
