// Files and directory listings through the platform layer, as each system
// answers them.
#include "platform/DirectoryReader.h"
#include "platform/Files.h"
#include "platform/Guid.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using platform::FileStatus;

namespace {

/// A fresh folder with a five-byte file "a.txt" and an empty folder "sub".
class FilesTest : public ::testing::Test {
protected:
    FilesTest() : root(fs::temp_directory_path() / ("tunelet-files-" + platform::newGuidText()))
    {
        fs::create_directories(root / "sub");
        std::ofstream(root / "a.txt", std::ios::binary) << "12345";
    }
    ~FilesTest() override
    {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string path(const std::string& name) const { return (root / name).string(); }

    fs::path root;
};

std::string readAll(int file)
{
    std::string text;
    char buffer[64];
    for (long got; (got = platform::readSome(file, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(got));
    return text;
}

} // namespace

TEST_F(FilesTest, StatusTellsKindSizeAndIdentity)
{
    const struct {
        const char* name;
        FileStatus::Kind kind;
    } cases[] = {{"a.txt", FileStatus::Kind::regular}, {"sub", FileStatus::Kind::directory}};
    for (const auto& c : cases) {
        FileStatus status;
        ASSERT_TRUE(platform::statusOfPath(path(c.name), status)) << c.name;
        EXPECT_EQ(status.kind, c.kind) << c.name;
        EXPECT_GE(status.links, 1u) << c.name;
        EXPECT_GT(status.modified.seconds, 1'600'000'000) << c.name;
    }
    FileStatus byPath;
    ASSERT_TRUE(platform::statusOfPath(path("a.txt"), byPath));
    EXPECT_EQ(byPath.size, 5u);
    const platform::UniqueFd file = platform::openFile(path("a.txt"), platform::openRead);
    FileStatus byFile;
    ASSERT_TRUE(file && platform::statusOf(file.get(), byFile));
    EXPECT_EQ(byFile.identity, byPath.identity);
    EXPECT_EQ(byFile.device, byPath.device);

    errno = 0;
    EXPECT_FALSE(platform::statusOfPath(path("missing"), byPath));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(platform::openFile(path("missing"), platform::openRead));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(platform::openFile(path("a.txt"), platform::openRead | platform::openDirectory));
}

TEST_F(FilesTest, AFileReadWithoutTouchingItsAccessTimeKeepsIt)
{
#ifdef _WIN32
    GTEST_SKIP() << "the access time is the system's to keep";
#else
    // An access time older than the modification is renewed by a read
    // wherever the file system keeps access times at all.
    const auto accessAfterReading = [&](unsigned flags) {
        const struct timespec times[2] = {{1000, 0}, {2000, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path("a.txt").c_str(), times, 0), 0);
        EXPECT_EQ(readAll(platform::openFile(path("a.txt"), platform::openRead | flags).get()), "12345");
        FileStatus status;
        EXPECT_TRUE(platform::statusOfPath(path("a.txt"), status));
        return status.accessed.seconds;
    };
    if (accessAfterReading(0) == 1000)
        GTEST_SKIP() << "this file system keeps no access times";
    EXPECT_EQ(accessAfterReading(platform::openNoAccessTime), 1000);
#endif
}

TEST_F(FilesTest, WritesReadsAtAnOffsetAndRenamesOverAFile)
{
    platform::UniqueFd made =
        platform::openFile(path("new.txt"), platform::openWrite | platform::openCreate | platform::openTruncate);
    ASSERT_TRUE(made);
    EXPECT_EQ(platform::writeSome(made.get(), "hello", 5), 5);
    EXPECT_TRUE(platform::syncFile(made.get()));
    EXPECT_TRUE(platform::closeFile(made));

    platform::UniqueFd file = platform::openFile(path("new.txt"), platform::openRead);
    char three[3];
    ASSERT_EQ(platform::readAt(file.get(), three, sizeof three, 1), 3);
    EXPECT_EQ(std::string(three, 3), "ell");
    EXPECT_EQ(platform::readAt(file.get(), three, sizeof three, 5), 0);  // at the end
    EXPECT_EQ(readAll(file.get()), "hello");  // the positioned reads left the offset alone
    ASSERT_TRUE(platform::seekTo(file.get(), 3));
    EXPECT_EQ(readAll(file.get()), "lo");
    EXPECT_TRUE(platform::syncFile(file.get()));  // a file open for reading is flushed too
    file.reset();

    ASSERT_TRUE(platform::renamePath(path("new.txt"), path("a.txt")));
    EXPECT_EQ(readAll(platform::openFile(path("a.txt"), platform::openRead).get()), "hello");
    EXPECT_TRUE(platform::removeFile(path("a.txt")));
    FileStatus gone;
    EXPECT_FALSE(platform::statusOfPath(path("a.txt"), gone));
    EXPECT_EQ(platform::resolvedPath(path("sub")), platform::resolvedPath((root / "sub" / ".." / "sub").string()));
    EXPECT_EQ(platform::resolvedPath(path("missing")), "");
}

TEST_F(FilesTest, DirectoryListsEveryEntryWithItsStatus)
{
    platform::DirectoryReader reader;
    FileStatus folder;
    ASSERT_TRUE(reader.open(root.string(), folder));
    EXPECT_TRUE(folder.isDirectory());
    std::map<std::string, FileStatus::Kind> listed;
    std::string name;
    FileStatus status;
    while (reader.next(name, status)) {
        listed[name] = status.kind;
        if (name == "a.txt") {
            EXPECT_EQ(status.size, 5u);
        }
    }
    const std::map<std::string, FileStatus::Kind> expected = {{".", FileStatus::Kind::directory},
                                                              {"..", FileStatus::Kind::directory},
                                                              {"a.txt", FileStatus::Kind::regular},
                                                              {"sub", FileStatus::Kind::directory}};
    EXPECT_EQ(listed, expected);
    // Its entries open by name alone.
    EXPECT_EQ(readAll(reader.openEntry("a.txt", platform::openRead).get()), "12345");
    EXPECT_FALSE(reader.openEntry("b.txt", platform::openRead));
    EXPECT_FALSE(reader.open(path("missing"), folder));
    EXPECT_FALSE(reader.openEntry("a.txt", platform::openRead));
    EXPECT_FALSE(reader.isOpen());
}
