// Tags and embedded pictures read with the cross-built TagLib, from media
// files made with ffmpeg when the tests were built (make_media.py); the test
// runs in their folder. The names are UTF-8, one of them not ASCII.
#include "library/EmbeddedPicture.h"
#include "library/TagReader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>

namespace {

using library::TrackTags;

TrackTags tagged(bool picture)
{
    return TrackTags{.artist = "Nāndu Café", .albumArtist = "Various", .album = "日本語の歌", .title = "Tōkyō",
                     .genre = "Jazz", .track = 3, .disc = 2, .year = 1999, .hasPicture = picture};
}

std::string contentOf(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(WindowsTags, TagsLengthAndPictureOrNothing)
{
    struct Case {
        const char* file;
        std::optional<TrackTags> expected;  // durationMs is checked apart
        bool picture = false;               // embeddedPicture gives cover.png
        int seconds = 1;
    };
    const Case cases[] = {
        {"tagged.mp3", tagged(true), true},
        {"tagged.flac", tagged(true), true},
        {"tagged.ogg", tagged(true), true},
        {"tagged.m4a", tagged(true), true},
        {"Café 日本.mp3", tagged(true), true},
        {"nopicture.flac", tagged(false)},
        {"long.flac", tagged(true), true, 30},
        {"untagged.mp3", TrackTags{}},
        {"notes.mp3", std::nullopt},
        {"missing.mp3", std::nullopt},
        {".", std::nullopt},
        {"", std::nullopt},
    };
    const std::string cover = contentOf("cover.png");
    ASSERT_FALSE(cover.empty()) << "run in the folder make_media.py filled";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(library::embeddedPicture(c.file), c.picture ? cover : std::string());
        std::optional<TrackTags> read = library::readTrackTags(c.file);
        ASSERT_EQ(read.has_value(), c.expected.has_value());
        if (!read)
            continue;
        EXPECT_GE(read->durationMs, c.seconds * 1000 - 50);
        EXPECT_LE(read->durationMs, c.seconds * 1000 + 100);
        read->durationMs = 0;
        EXPECT_EQ(*read, *c.expected);
    }
}

} // namespace
