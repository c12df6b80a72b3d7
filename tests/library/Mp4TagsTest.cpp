#include "library/Mp4Tags.h"

#include "library/MediaFiles.h"
#include "library/TagAgreement.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using librarytest::Metadata;

using librarytest::latinTags;
using librarytest::wideTags;

class Mp4TagsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        tree = std::make_unique<librarytest::TempTree>();
        const std::vector<librarytest::MadeFile> made{
            {"aac-picture", {}, &wideTags, "cover.png", 1},
            {"aac-faststart-picture", {"-movflags", "+faststart"}, &latinTags, "cover.png", 1},
            {"aac-long", {"-ac", "1", "-ar", "22050"}, &latinTags, "", 200},
            {"aac-long-faststart", {"-movflags", "+faststart"}, &wideTags, "large.png", 200},
            {"aac-large-cover", {}, &wideTags, "large.png", 20},
            {"alac", {"-c:a", "alac"}, &wideTags, "", 2},
            {"alac-faststart-picture", {"-c:a", "alac", "-movflags", "+faststart"}, &latinTags, "cover.png", 2},
            {"untagged", {}, nullptr, "", 1},
        };
        files = librarytest::makeFiles(*tree, made, "m4a");
        ASSERT_EQ(files.size(), made.size());
        // A numeric genre (gnre) in place of the text one, of the same size:
        // 17 names the old list's sixteenth genre.
        std::string bytes = librarytest::contentOf(files.front());
        const std::size_t genre = bytes.find("\251gen");
        ASSERT_NE(genre, std::string::npos);
        bytes.replace(genre, 4, "gnre");
        bytes.replace(genre + 4 + 8, 4, std::string("\0\0\0\0", 4));  // the data's type: implicit
        bytes.replace(genre + 4 + 16, 4, std::string("\0\x11\0\0", 4));
        files.push_back(tree->file("numeric-genre.m4a", bytes));
    }
    static void TearDownTestSuite() { tree.reset(); }

    static std::unique_ptr<librarytest::TempTree> tree;
    static std::vector<std::string> files;
};

std::unique_ptr<librarytest::TempTree> Mp4TagsTest::tree;
std::vector<std::string> Mp4TagsTest::files;

TEST_F(Mp4TagsTest, AnswersCommonFilesAsTheTagLibraryReadsThem)
{
    librarytest::expectReadAsTheTagLibraryReads(library::parseMp4Tags, files);
    const auto numeric = library::parseMp4Tags(librarytest::endsOf(librarytest::contentOf(files.back())));
    ASSERT_TRUE(numeric.has_value());
    EXPECT_EQ(numeric->genre, "Reggae");
}

TEST_F(Mp4TagsTest, LeavesMoovBeyondItsReachToTheTagLibrary)
{
    // A large cover makes moov longer than the head or the tail: without
    // the rest of the file, it cannot be read.
    for (const char* name : {"aac-long-faststart.m4a", "aac-large-cover.m4a"}) {
        const std::string bytes = librarytest::contentOf(tree->path(name));
        library::FileEnds ends = librarytest::endsOf(bytes);
        ends.readAt = nullptr;
        EXPECT_FALSE(library::parseMp4Tags(ends).has_value()) << name;
    }
}

TEST_F(Mp4TagsTest, DamagedFilesAreDeclinedOrReadAsTheTagLibraryReadsThem)
{
    // moov first, where the damage lands.
    const std::vector<std::string> seeds{tree->path("aac-faststart-picture.m4a"), tree->path("alac-faststart-picture.m4a"),
                                         files.back()};
    EXPECT_GT(librarytest::checkDamagedFiles(*tree, seeds, library::parseMp4Tags, 1200), 0);
}

} // namespace
