#include "library/FlacTags.h"
#include "library/MediaFiles.h"
#include "library/OggVorbisTags.h"
#include "library/TagParserFiles.h"
#include "library/TagReader.h"
#include "library/TempTree.h"

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

namespace {

using library::TrackTags;
using librarytest::Metadata;

const Metadata fullTags{{"artist", "Nāndu Café"}, {"album_artist", "Various"}, {"album", "日本語の歌 東京"},
                        {"title", " Tōkyō "},     {"genre", "Jazz"},           {"track", "3/12"},
                        {"disc", "2/2"},          {"date", "2001-05-03"}};

bool isOgg(const std::string& path)
{
    return path.ends_with(".ogg");
}

/// A tone made by ffmpeg: `rate` Hz, `channels`, `extra` encoder options,
/// tagged with `metadata` (none at all when empty) and `cover` attached.
bool makeTone(const std::string& path, int rate, int channels, double seconds, const Metadata& metadata,
              const std::string& cover = "", std::vector<std::string> extra = {})
{
    std::vector<std::string> command = librarytest::mediaCommand(
        "sine=frequency=440:sample_rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds), metadata,
        cover);
    command.insert(command.end(), {"-ac", std::to_string(channels)});
    if (isOgg(path))
        command.insert(command.end(), {"-c:a", "libvorbis"});
    command.insert(command.end(), extra.begin(), extra.end());
    command.push_back(path);
    return librarytest::runProgram(command);
}

/// Edits the Vorbis comment of `path` with the tag library's own writer.
void editComment(const std::string& path, const std::function<void(TagLib::Ogg::XiphComment&)>& edit)
{
    if (isOgg(path)) {
        TagLib::Ogg::Vorbis::File file(path.c_str());
        edit(*file.tag());
        ASSERT_TRUE(file.save()) << path;
    } else {
        TagLib::FLAC::File file(path.c_str());
        edit(*file.xiphComment(true));
        ASSERT_TRUE(file.save()) << path;
    }
}

void addPicture(TagLib::Ogg::XiphComment& comment, std::size_t size)
{
    auto picture = std::make_unique<TagLib::FLAC::Picture>();
    picture->setMimeType("image/png");
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setData(TagLib::ByteVector(static_cast<unsigned>(size), 'p'));
    comment.addPicture(picture.release());
}

/// Repeated, mixed-case and number fields, and a picture in the comment.
void manyFields(TagLib::Ogg::XiphComment& comment)
{
    for (const char* key : {"ARTIST", "TITLE", "ALBUMARTIST", "GENRE", "ALBUM"})
        comment.addField(key, TagLib::String("Second ") + key + TagLib::String(" 二", TagLib::String::UTF8), false);
    comment.addField("DATE", "2001-05-03", true);
    comment.addField("TRACKNUMBER", " 7/12", true);
    comment.addField("TRACKNUM", "9", true);
    comment.addField("DISCNUMBER", "2/3", true);
    comment.addField("YEAR", "1999", true);
    comment.addField("EMPTY", "", true);
    addPicture(comment, 300);
}

struct Variant {
    const char* name;
    int rate = 44100;
    int channels = 2;
    double seconds = 1;
    Metadata metadata = fullTags;
    const char* cover = "";
    std::vector<std::string> extra = {};
    std::function<void(const std::string&)> edit = nullptr;
    const char* artist = "Nāndu Café";  // what the tag library reads, so that agreement means something
    bool picture = false;
};

const std::vector<Variant>& variants()
{
    static const std::vector<Variant> all{
        {.name = "tagged.flac", .cover = "small.png", .picture = true},
        // ffmpeg writes the comment after the picture, beyond the head.
        {.name = "bigcover.flac", .seconds = 30, .cover = "large.png", .picture = true},
        {.name = "midcover.flac", .seconds = 5, .cover = "middle.png", .picture = true},
        {.name = "mono48k.flac", .rate = 48000, .channels = 1},
        {.name = "long8k.flac", .rate = 8000, .channels = 1, .seconds = 200},
        {.name = "hires.flac", .rate = 96000, .seconds = 3, .extra = {"-sample_fmt", "s32"}},
        {.name = "short.flac", .seconds = 0.05},
        {.name = "untagged.flac", .metadata = {}, .artist = ""},
        {.name = "fields.flac", .edit = [](const std::string& p) { editComment(p, manyFields); },
         .artist = "Nāndu Café Second ARTIST 二", .picture = true},
        {.name = "mixedcase.flac"},
        {.name = "bigcomment.flac", .cover = "small.png",
         .edit = [](const std::string& p) {
             editComment(p, [](auto& c) { c.addField("LYRICS", TagLib::String(std::string(200000, 'l'))); });
         },
         .picture = true},
        {.name = "tagged.ogg"},
        {.name = "mono8k.ogg", .rate = 8000, .channels = 1, .seconds = 200},
        {.name = "stereo48k.ogg", .rate = 48000},
        {.name = "stereo96k.ogg", .rate = 96000, .seconds = 3},
        {.name = "short.ogg", .seconds = 0.05},
        {.name = "untagged.ogg", .metadata = {}, .artist = ""},
        {.name = "fields.ogg", .edit = [](const std::string& p) { editComment(p, manyFields); },
         .artist = "Nāndu Café Second ARTIST 二", .picture = true},
        {.name = "bigpicture.ogg", .seconds = 20,
         .edit = [](const std::string& p) { editComment(p, [](auto& c) { addPicture(c, 600000); }); },
         .picture = true},
        {.name = "midpicture.ogg",
         .edit = [](const std::string& p) { editComment(p, [](auto& c) { addPicture(c, 100000); }); },
         .picture = true},
    };
    return all;
}

std::optional<TrackTags> parse(const std::string& path, const std::string& bytes, bool canRead = true)
{
    library::FileEnds ends = librarytest::endsOf(bytes);
    if (!canRead)
        ends.readAt = nullptr;
    return isOgg(path) ? library::parseOggVorbisTags(ends) : library::parseFlacTags(ends);
}

class TagParsersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tree = std::make_unique<librarytest::TempTree>();
        ASSERT_TRUE(librarytest::makeImage(tree->path("small.png")));
        ASSERT_TRUE(librarytest::makeImage(tree->path("middle.png"), true));
        ASSERT_TRUE(librarytest::runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                             "nullsrc=s=640x640,geq=random(1)*255:random(2)*255:128",
                                             "-frames:v", "1", tree->path("large.png")}));
        for (const Variant& v : variants()) {
            const std::string path = tree->path(v.name);
            ASSERT_TRUE(makeTone(path, v.rate, v.channels, v.seconds, v.metadata,
                                 *v.cover ? tree->path(v.cover) : "", v.extra))
                << v.name;
            if (v.edit)
                v.edit(path);
        }
        // Keys in mixed case, as some taggers write them.
        for (const char* name : {"mixedcase.flac", "tagged.ogg"}) {
            std::string bytes = librarytest::contentOf(tree->path(name));
            librarytest::patchKeys(bytes, "artist=", "ArTiSt=", isOgg(name));
            librarytest::patchKeys(bytes, "ARTIST=", "aRtIsT=", isOgg(name));
            tree->file(name, bytes);
        }
    }
    static void TearDownTestSuite() { tree.reset(); }

    static std::unique_ptr<librarytest::TempTree> tree;
};

std::unique_ptr<librarytest::TempTree> TagParsersTest::tree;

TEST_F(TagParsersTest, AnswerWhatTheTagLibraryReadsForCommonFiles)
{
    for (const Variant& v : variants()) {
        SCOPED_TRACE(v.name);
        const std::string path = tree->path(v.name);
        const std::string bytes = librarytest::contentOf(path);
        const std::optional<TrackTags> expected = library::readTrackTagsWithTagLib(path);
        ASSERT_TRUE(expected.has_value());
        EXPECT_EQ(expected->artist, v.artist);
        EXPECT_EQ(expected->hasPicture, v.picture);
        EXPECT_NEAR(static_cast<double>(expected->durationMs), v.seconds * 1000, 60);
        EXPECT_EQ(parse(path, bytes), expected);
        // Without reads beyond the ends, a parser that needs them declines.
        const std::optional<TrackTags> endsOnly = parse(path, bytes, false);
        EXPECT_TRUE(!endsOnly || endsOnly == expected);
    }
}

/// The cases of a mutation run over `bytes`: truncations, flipped bytes and
/// 32-bit fields set to extremes, most of them where the tags lie: the
/// first bytes, and those from `alsoAt` on.
std::vector<std::string> mutationsOf(const std::string& bytes, std::size_t alsoAt, std::mt19937& random)
{
    std::vector<std::string> cases;
    constexpr std::size_t region = 1200;
    std::vector<std::size_t> places;
    for (std::size_t at = 0; at < region; ++at) {
        if (at + 4 <= bytes.size())
            places.push_back(at);
        if (alsoAt >= region && alsoAt + at + 4 <= bytes.size())
            places.push_back(alsoAt + at);
    }
    for (std::size_t size = 0; size < bytes.size(); size += 1 + size / 8 + (size < region ? 0 : 997))
        cases.push_back(bytes.substr(0, size));
    const std::uint32_t extremes[] = {0, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x00FFFFFF, 0x01000000};
    for (std::size_t at : places) {
        std::string mutated = bytes;
        const std::uint32_t value = extremes[at % std::size(extremes)];
        for (std::size_t i = 0; i < 4; ++i)
            mutated[at + i] = static_cast<char>(value >> (8 * ((at / 6) % 2 ? i : 3 - i)));
        cases.push_back(std::move(mutated));
    }
    for (int flip = 0; flip < 600; ++flip) {
        std::string mutated = bytes;
        const std::size_t at = flip % 3 == 0 ? random() % bytes.size() : places[random() % places.size()];
        mutated[at] = static_cast<char>(mutated[at] ^ static_cast<char>(1u << (random() % 8)));
        cases.push_back(std::move(mutated));
    }
    return cases;
}

TEST_F(TagParsersTest, DamagedFilesAreDeclinedOrReadAsTheTagLibraryReadsThem)
{
    std::mt19937 random(27);
    // Beside small files, two whose tags reach past the head: a comment
    // after a picture, and one spanning pages.
    const std::pair<const char*, std::size_t> seeds[] = {
        {"tagged.flac", 0}, {"fields.flac", 0}, {"tagged.ogg", 0}, {"fields.ogg", 0}, {"short.ogg", 0},
        {"midcover.flac", 0}, {"midpicture.ogg", library::TagFileStream::cachedBytes - 600}};
    for (auto [seed, alsoAt] : seeds) {
        const std::string bytes = librarytest::contentOf(tree->path(seed));
        if (const auto vendor = bytes.find("Lavf", 1200); alsoAt == 0 && vendor != std::string::npos)
            alsoAt = vendor - 200;
        const std::string name = std::string("mutated-") + seed;
        const std::string path = tree->path(name);
        int answered = 0;
        int cases = 0;
        for (const std::string& mutated : mutationsOf(bytes, alsoAt, random)) {
            ++cases;
            tree->file(name, mutated);
            const std::optional<TrackTags> ours = parse(path, mutated);
            if (!ours)
                continue;
            ++answered;
            ASSERT_EQ(ours, library::readTrackTagsWithTagLib(path)) << seed << " case " << cases;
        }
        // Most damage lies where a parser may still read the file whole.
        EXPECT_GT(answered, cases / 4) << seed;
    }
}

} // namespace
