#include "library/MpegTags.h"

#include "library/MediaFiles.h"
#include "library/TagAgreement.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using librarytest::Metadata;

using librarytest::latinTags;
using librarytest::wideTags;

/// An ID3v2 frame of `version` holding `body`.
std::string frame(int version, const std::string& id, const std::string& body)
{
    std::string bytes = id;
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<char>(version == 4 ? (size >> (shift / 8 * 7)) & 0x7F : (size >> shift) & 0xFF));
    return bytes + std::string(2, '\0') + body;
}

/// An ID3v2 tag of `version` with `frames`, and some padding.
std::string tag(int version, const std::string& frames)
{
    const std::string body = frames + std::string(20, '\0');
    std::string bytes = "ID3";
    bytes += {static_cast<char>(version), 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7)
        bytes.push_back(static_cast<char>((body.size() >> shift) & 0x7F));
    return bytes + body;
}

std::string utf16(const std::string& ascii, bool bigEndian, bool mark = true)
{
    std::string bytes = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char c : ascii)
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

class MpegTagsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tree = std::make_unique<librarytest::TempTree>();
        const std::vector<librarytest::MadeFile> made{
            {"v3-vbr-picture", {"-id3v2_version", "3", "-q:a", "4"}, &wideTags, "cover.png", 1},
            {"v4-vbr-picture", {"-id3v2_version", "4", "-q:a", "4"}, &wideTags, "cover.png", 1},
            {"v3-cbr-8k-mono", {"-id3v2_version", "3", "-ar", "8000", "-ac", "1", "-b:a", "24k", "-write_xing", "0"},
             &latinTags, "", 3},
            {"v4-cbr-22k-id3v1",
             {"-id3v2_version", "4", "-ar", "22050", "-b:a", "64k", "-write_xing", "0", "-write_id3v1", "1"},
             &wideTags, "", 20},
            {"v3-vbr-48k-id3v1", {"-id3v2_version", "3", "-ar", "48000", "-q:a", "2", "-write_id3v1", "1"},
             &latinTags, "", 2},
            {"v4-cbr-info-mono", {"-id3v2_version", "4", "-ac", "1", "-b:a", "128k"}, &latinTags, "", 1},
            {"v4-large-cover", {"-id3v2_version", "4", "-b:a", "128k", "-write_xing", "0"}, &wideTags, "large.png", 30},
            {"untagged-cbr", {"-id3v2_version", "0", "-write_xing", "0", "-b:a", "96k"}, nullptr, "", 2},
            {"untagged-vbr", {"-id3v2_version", "0", "-q:a", "5"}, nullptr, "", 2},
        };
        files = librarytest::makeFiles(*tree, made, "mp3");
        ASSERT_EQ(files.size(), made.size());
        // Tags ffmpeg does not write: several values in a frame, numeric
        // genres, UTF-16 of either order with and without marks, before
        // audio without a tag of its own.
        const std::string audio = librarytest::contentOf(tree->path("untagged-cbr.mp3"));
        const std::string lists =
            tag(4, frame(4, "TPE1", "\x01" + utf16("Ann", false) + std::string(2, '\0') + utf16("Bob", true)) +
                       frame(4, "TCON", std::string("\0" "17\0Rock\0" "17\0" "300", 16)) +
                       frame(4, "TRCK", std::string("\0 7 ", 4)) + frame(4, "TDRC", std::string("\x03" "2001-05-03")) +
                       frame(4, "TPE2", "\x02" + utf16("Band", true, false)) + frame(4, "TPOS", "\x03" "2/3") +
                       frame(4, "TIT2", "\x03" "First") + frame(4, "TIT2", "\x03" "Second"));
        const std::string oldLists =
            tag(3, frame(3, "TPE1", "\x01" + utf16("Ann", true) + std::string(2, '\0') + utf16("Bob", true, false)) +
                       frame(3, "TYER", std::string("\0" "1999", 5)) + frame(3, "TCON", std::string("\0" "8", 2)) +
                       frame(3, "COMM", std::string("\0eng\0words", 10)));
        const std::string commentOnly = tag(3, frame(3, "COMM", std::string("\0eng\0words", 10)));
        // No common field, yet a tag with frames: its album artist and disc count.
        const std::string bandOnly = tag(4, frame(4, "TPE2", "\x03" "Band") + frame(4, "TPOS", "\x03" "2/3"));
        for (const auto& [name, head] : {std::pair{"lists-v4", lists}, {"lists-v3", oldLists},
                                         {"comment-only", commentOnly}, {"band-only", bandOnly}}) {
            files.push_back(tree->file(std::string(name) + ".mp3", head + audio));
            crafted.push_back(files.back());
        }
    }
    static void TearDownTestSuite() { tree.reset(); }

    static std::unique_ptr<librarytest::TempTree> tree;
    static std::vector<std::string> files;
    static std::vector<std::string> crafted;
};

std::unique_ptr<librarytest::TempTree> MpegTagsTest::tree;
std::vector<std::string> MpegTagsTest::files;
std::vector<std::string> MpegTagsTest::crafted;

TEST_F(MpegTagsTest, AnswersCommonFilesAsTheTagLibraryReadsThem)
{
    librarytest::expectReadAsTheTagLibraryReads(library::parseMpegTags, files);
    // The crafted lists were read, not left empty.
    const auto lists = library::parseMpegTags(librarytest::endsOf(librarytest::contentOf(crafted.front())));
    ASSERT_TRUE(lists.has_value());
    EXPECT_EQ(lists->artist, "Ann Bob");
    EXPECT_EQ(lists->genre, "Rock 300");  // genre 17 is Rock, named once
}

TEST_F(MpegTagsTest, LeavesWhatItDoesNotUnderstandToTheTagLibrary)
{
    // Without the rest of the file, a tag past the head cannot be read.
    const std::string large = librarytest::contentOf(tree->path("v4-large-cover.mp3"));
    library::FileEnds ends = librarytest::endsOf(large);
    ends.readAt = nullptr;
    EXPECT_FALSE(library::parseMpegTags(ends).has_value());
}

TEST_F(MpegTagsTest, DamagedFilesAreDeclinedOrReadAsTheTagLibraryReadsThem)
{
    const std::vector<std::string> seeds{tree->path("v4-cbr-22k-id3v1.mp3"), tree->path("v3-cbr-8k-mono.mp3"),
                                         crafted[0], crafted[1]};
    EXPECT_GT(librarytest::checkDamagedFiles(*tree, seeds, library::parseMpegTags, 700), 0);
}

} // namespace
