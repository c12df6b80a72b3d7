#include "library/TagReader.h"

#include "http/Crypto.h"
#include "library/MediaFiles.h"
#include "library/TempTree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <optional>

namespace {

using library::TrackTags;
using librarytest::Metadata;

const Metadata fullTags{{"artist", "Nāndu Café"}, {"album_artist", "Various"}, {"album", "日本語の歌"},
                        {"title", " Tōkyō "},     {"genre", "Jazz"},           {"track", "3/12"},
                        {"disc", "2/2"},          {"date", "1999"}};

TrackTags expectedFull(bool picture)
{
    TrackTags tags{.artist = "Nāndu Café", .albumArtist = "Various", .album = "日本語の歌", .title = "Tōkyō",
                   .genre = "Jazz", .track = 3, .disc = 2, .year = 1999};
    tags.hasPicture = picture;
    return tags;
}

/// What a WAV file's RIFF INFO chunk keeps of the full tags: no album
/// artist, no disc.
TrackTags wavInfo()
{
    TrackTags tags = expectedFull(false);
    tags.albumArtist.clear();
    tags.disc = 0;
    return tags;
}

/// A Vorbis comment's picture: the picture block of a FLAC stream, in Base64.
std::string vorbisPicture(const std::string& image)
{
    std::string block;
    auto put = [&block](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            block.push_back(static_cast<char>((value >> shift) & 0xFF));
    };
    const std::string mime = "image/png";
    put(3);  // front cover
    put(static_cast<std::uint32_t>(mime.size()));
    block += mime;
    put(0);  // no description
    for (std::uint32_t fact : {16u, 16u, 24u, 0u})
        put(fact);
    put(static_cast<std::uint32_t>(image.size()));
    block += image;
    return http::base64(block);
}

class TagReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tree = std::make_unique<librarytest::TempTree>();
        const std::string cover = tree->path("cover.png");
        ASSERT_TRUE(librarytest::makeImage(cover));
        std::ifstream in(cover, std::ios::binary);
        const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Metadata oggTags = fullTags;
        oggTags.emplace_back("METADATA_BLOCK_PICTURE", vorbisPicture(image));
        for (const char* name : {"tagged.mp3", "tagged.flac", "tagged.m4a"})
            ASSERT_TRUE(librarytest::makeMediaFile(tree->path(name), fullTags, cover)) << name;
        ASSERT_TRUE(librarytest::makeMediaFile(tree->path("tagged.ogg"), oggTags));
        ASSERT_TRUE(librarytest::makeMediaFile(tree->path("nopicture.flac"), fullTags));
        ASSERT_TRUE(librarytest::makeMediaFile(tree->path("tagged.wav"), fullTags));
        // Larger than the head and tail the reader keeps in memory, and a
        // tag that reaches past the head.
        for (const char* name : {"long.mp3", "long.flac"})
            ASSERT_TRUE(librarytest::makeMediaFile(tree->path(name), fullTags, cover, 30)) << name;
        const std::string largeCover = tree->path("large.png");
        ASSERT_TRUE(librarytest::makeImage(largeCover, true));
        ASSERT_TRUE(librarytest::makeMediaFile(tree->path("largecover.mp3"), fullTags, largeCover, 30));
        ASSERT_TRUE(librarytest::makeMediaFile(tree->path("untagged.mp3"), {}));
        tree->file("notes.mp3", "not audio at all, only words");
        tree->file("notes.txt", "not audio at all, only words");
    }
    static void TearDownTestSuite() { tree.reset(); }

    static std::unique_ptr<librarytest::TempTree> tree;
};

std::unique_ptr<librarytest::TempTree> TagReaderTest::tree;

TEST_F(TagReaderTest, ReadsTagsLengthAndPictureOrNothing)
{
    struct Case {
        const char* file;
        std::optional<TrackTags> expected;  // durationMs is checked apart
        std::int64_t seconds = 1;
    };
    const Case cases[] = {
        {"tagged.mp3", expectedFull(true)},
        {"tagged.flac", expectedFull(true)},
        {"tagged.ogg", expectedFull(true)},
        {"tagged.m4a", expectedFull(true)},
        {"nopicture.flac", expectedFull(false)},
        // Names in the RIFF INFO chunk, which has no album artist nor disc.
        {"tagged.wav", wavInfo()},
        {"long.mp3", expectedFull(true), 30},
        {"long.flac", expectedFull(true), 30},
        {"largecover.mp3", expectedFull(true), 30},
        {"untagged.mp3", TrackTags{}},
        {"notes.mp3", std::nullopt},
        {"notes.txt", std::nullopt},
        {"missing.mp3", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::optional<TrackTags> read = library::readTrackTags(*c.file ? tree->path(c.file) : std::string());
        ASSERT_EQ(read.has_value(), c.expected.has_value());
        if (!read)
            continue;
        // Encoders pad the sound by a frame or two.
        EXPECT_GE(read->durationMs, c.seconds * 1000 - 50);
        EXPECT_LE(read->durationMs, c.seconds * 1000 + 100);
        read->durationMs = 0;
        EXPECT_EQ(*read, *c.expected);
    }
}

TEST_F(TagReaderTest, OneReaderOfManyFilesReadsEachAsAlone)
{
    // Small files after large ones and the other way round, files it cannot
    // read between them: what one file leaves in the reader's memory never
    // shows in the next.
    const char* files[] = {"tagged.mp3", "long.flac", "untagged.mp3", "largecover.mp3", "notes.mp3",
                           "tagged.wav", "tagged.flac", "long.mp3", "tagged.m4a", "missing.mp3",
                           "tagged.ogg", "long.flac", "nopicture.flac", "long.mp3", "tagged.mp3"};
    library::TagReader reader;
    for (const char* file : files) {
        SCOPED_TRACE(file);
        EXPECT_EQ(reader.read(tree->path(file)), library::readTrackTags(tree->path(file)));
    }
}

} // namespace
