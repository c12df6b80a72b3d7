// The host player's tags on Windows: read with the cross-built tag library
// from the media files make_media.py made (the test runs in their folder),
// a name that is not ASCII among them; a length, which the simulated clock
// needs to play a file, above all.
#include "player/TrackTags.h"

#include <gtest/gtest.h>

TEST(WindowsPlayerTags, TitleArtistAlbumAndLengthOrNothing)
{
    struct Case {
        const char* file;
        bool readable;
        int seconds = 0;
    };
    const Case cases[] = {
        {"Café 日本.mp3", true, 1}, {"tagged.flac", true, 1}, {"long.flac", true, 30},
        {"missing.mp3", false},      {".", false},             {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const player::TrackTags tags = player::readTrackTags(c.file);
        ASSERT_EQ(tags.readable, c.readable);
        if (!c.readable) {
            EXPECT_EQ(tags.lengthMs, 0);
            continue;
        }
        EXPECT_EQ(tags.artist, "Nāndu Café");
        EXPECT_EQ(tags.album, "日本語の歌");
        EXPECT_NE(tags.title.find("Tōkyō"), std::string::npos) << tags.title;
        EXPECT_GE(tags.lengthMs, c.seconds * 1000 - 50);
        EXPECT_LE(tags.lengthMs, c.seconds * 1000 + 100);
    }
}
