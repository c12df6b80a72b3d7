#include "settings/IniFile.h"

#include "host/TempDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

using host::IniDocument;
using host::IniFile;
using hosttest::TempDirectory;

namespace fs = std::filesystem;

namespace {

unsigned permissionsOf(const std::string& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

} // namespace

TEST(IniFile, ReadTellsMissingFromUnreadable)
{
    TempDirectory dir;
    IniDocument document = IniDocument::parse("[S]\nstale=1\n");
    EXPECT_EQ(IniFile::read(dir.path("none.ini"), document), IniFile::ReadStatus::Missing);
    EXPECT_EQ(document.lineCount(), 0u);

    fs::create_directory(dir.path("folder.ini"));
    EXPECT_EQ(IniFile::read(dir.path("folder.ini"), document), IniFile::ReadStatus::Failed);

    // A sparse file just past the cap is refused without being read whole.
    std::string huge = dir.path("huge.ini");
    TempDirectory::writeText(huge, "[S]\nk=v\n");
    fs::resize_file(huge, IniFile::maxFileSize + 1);
    EXPECT_EQ(IniFile::read(huge, document), IniFile::ReadStatus::Failed);
    EXPECT_EQ(document.lineCount(), 0u);

    std::string good = dir.path("good.ini");
    TempDirectory::writeText(good, "[S]\nk=v\n");
    EXPECT_EQ(IniFile::read(good, document), IniFile::ReadStatus::Read);
    EXPECT_EQ(document.find("S", "k"), "v");
}

TEST(IniFile, UpdateCreatesAndEditsInPlaceLeavingNoTempFile)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    ASSERT_TRUE(IniFile::update(path, [](IniDocument& d) { d.set("S", "k", "1"); }));
    EXPECT_EQ(TempDirectory::readText(path), "[S]\nk=1\n");
    EXPECT_EQ(permissionsOf(path), 0600u); // it holds a password

    TempDirectory::writeText(path, "; mine\n[S]\nk=1\nother=2\n");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(IniFile::update(path, [](IniDocument& d) { d.set("S", "k", "3"); }));
    EXPECT_EQ(TempDirectory::readText(path), "; mine\n[S]\nk=3\nother=2\n");
    EXPECT_EQ(permissionsOf(path), 0640u);
    EXPECT_FALSE(fs::exists(IniFile::tempPathFor(path)));
}

TEST(IniFile, InterruptedSaveLeavesTheOldFileWhole)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    const std::string old = "[S]\nk=old\nkeep=me\n";
    TempDirectory::writeText(path, old);

    // Crash after the new text was written aside, before the rename.
    ASSERT_TRUE(IniFile::writeAside(path, "[S]\nk=ne"));
    EXPECT_EQ(TempDirectory::readText(path), old);
    IniDocument document;
    ASSERT_EQ(IniFile::read(path, document), IniFile::ReadStatus::Read);
    EXPECT_EQ(document.find("S", "k"), "old");

    // The next save overwrites the leftover and succeeds.
    ASSERT_TRUE(IniFile::update(path, [](IniDocument& d) { d.set("S", "k", "new"); }));
    EXPECT_EQ(TempDirectory::readText(path), "[S]\nk=new\nkeep=me\n");
    EXPECT_FALSE(fs::exists(IniFile::tempPathFor(path)));

    // A rename with nothing written aside fails and touches nothing.
    EXPECT_FALSE(IniFile::commitAside(path));
    EXPECT_EQ(TempDirectory::readText(path), "[S]\nk=new\nkeep=me\n");

    // The temporary name taken by something that cannot be written.
    fs::create_directories(IniFile::tempPathFor(path) + "/inside");
    EXPECT_FALSE(IniFile::update(path, [](IniDocument& d) { d.set("S", "k", "lost"); }));
    EXPECT_EQ(TempDirectory::readText(path), "[S]\nk=new\nkeep=me\n");
}

TEST(IniFile, UnreadableFileIsNotOverwritten)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    std::string big = "[S]\n" + std::string(IniFile::maxFileSize, 'x');
    TempDirectory::writeText(path, big);
    bool edited = false;
    EXPECT_FALSE(IniFile::update(path, [&](IniDocument&) { edited = true; }));
    EXPECT_FALSE(edited);
    EXPECT_EQ(fs::file_size(path), big.size());

    EXPECT_FALSE(IniFile::update(dir.path("no/such/dir.ini"), [](IniDocument& d) { d.set("S", "k", "1"); }));
}

TEST(IniFile, SymbolicLinkIsWrittenThrough)
{
    TempDirectory dir;
    std::string target = dir.path("real.ini");
    std::string link = dir.path("link.ini");
    TempDirectory::writeText(target, "[S]\nk=1\n");
    fs::create_symlink(target, link);
    ASSERT_TRUE(IniFile::update(link, [](IniDocument& d) { d.set("S", "k", "2"); }));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(TempDirectory::readText(target), "[S]\nk=2\n");
}

TEST(IniFile, ConcurrentUpdatesLoseNoKey)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    constexpr int threads = 4;
    constexpr int rounds = 25;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int r = 0; r < rounds; ++r) {
                std::string key = "t" + std::to_string(t) + "r" + std::to_string(r);
                EXPECT_TRUE(IniFile::update(path, [&](IniDocument& d) { d.set("S", key, key); }));
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    IniDocument document;
    ASSERT_EQ(IniFile::read(path, document), IniFile::ReadStatus::Read);
    EXPECT_EQ(document.lineCount(), 1u + threads * rounds);
    for (int t = 0; t < threads; ++t)
        for (int r = 0; r < rounds; ++r) {
            std::string key = "t" + std::to_string(t) + "r" + std::to_string(r);
            EXPECT_EQ(document.find("S", key), key);
        }
}
