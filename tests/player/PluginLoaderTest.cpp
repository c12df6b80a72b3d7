#include "PlayerTestSupport.h"

#include "platform/PlayerMessages.h"
#include "platform/Window.h"
#include "player/Player.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace platform;
using namespace player;
using player::test::TempDirectory;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A Plugins folder with two recorders, one with a record of the wrong
/// version, a module without the export, a text file and a file whose name
/// does not match gen_*.so.
void fillPluginFolder(const fs::path& folder)
{
    fs::create_directories(folder);
    fs::copy_file(RECORDER_A, folder / "gen_a.so");
    fs::copy_file(RECORDER_B, folder / "gen_b.so");
    fs::copy_file(RECORDER_OLD, folder / "gen_old.so");
    fs::copy_file(NOT_A_PLUGIN, folder / "gen_noexport.so");
    fs::copy_file(RECORDER_A, folder / "other.so");
    std::ofstream(folder / "gen_text.so") << "this is not a shared object\n";
}

} // namespace

TEST(PluginLoader, LoadsPluginsInitsThemAndQuitsThemInReverse)
{
    TempDirectory dir;
    fillPluginFolder(dir.path() / "Plugins");
    std::string logFile = dir.file("events.log");
    ::setenv("TUNELET_TEST_PLUGIN_LOG", logFile.c_str(), 1);

    std::ostringstream messages;
    {
        Player host(Player::defaultClock(), 1, messages);
        EXPECT_EQ(host.plugins().loadDirectory((dir.path() / "Plugins").string()), 2);
        ASSERT_EQ(host.plugins().count(), 2u);
        EXPECT_STREQ(host.plugins().record(0)->description, "Recorder a");
        EXPECT_EQ(host.plugins().record(0)->hwndParent, host.mainWindow());
        EXPECT_NE(host.plugins().record(1)->hDllInstance, nullptr);

        // Both subclassed the main window; the host still answers through them.
        EXPECT_EQ(sendMessage(host.mainWindow(), WM_USER + 77), 4242);
        EXPECT_EQ(sendMessage(host.mainWindow(), WM_WA_IPC, 0, IPC_GETLISTLENGTH), 0);
        host.plugins().configure(1);
        host.shutdown();
        EXPECT_EQ(host.plugins().count(), 0u);
        EXPECT_EQ(sendMessage(host.mainWindow(), WM_USER + 77), 0);  // subclasses gone
        EXPECT_EQ(sendMessage(host.mainWindow(), WM_WA_IPC, 0, IPC_GETLISTLENGTH), 0);
    }
    ::unsetenv("TUNELET_TEST_PLUGIN_LOG");

    EXPECT_EQ(readFile(logFile), "a init window=own instance=set length=0\n"
                                 "b init window=own instance=set length=0\n"
                                 "b config\n"
                                 "b quit answered=0\n"
                                 "a quit answered=0\n");
    std::string said = messages.str();
    for (const char* skipped : {"gen_old.so: unsupported plug-in record version 17", "gen_noexport.so: not a plug-in",
                                "gen_text.so: "})
        EXPECT_NE(said.find(skipped), std::string::npos) << skipped << "\n" << said;
    EXPECT_EQ(said.find("other.so"), std::string::npos);
    EXPECT_EQ(said.find("gen_a.so"), std::string::npos);
}

TEST(PluginLoader, APluginThatLeavesItsSubclassIsUnhookedBeforeUnloading)
{
    TempDirectory dir;
    std::ostringstream messages;
    Player host(Player::defaultClock(), 1, messages);
    ASSERT_TRUE(host.plugins().load(RECORDER_LEAKY));
    EXPECT_EQ(sendMessage(host.mainWindow(), WM_USER + 77), 4242);
    host.shutdown();
    // Its code is gone; the window must not call into it any more.
    EXPECT_EQ(sendMessage(host.mainWindow(), WM_USER + 77), 0);
    EXPECT_EQ(sendMessage(host.mainWindow(), WM_WA_IPC, static_cast<WPARAM>(-666), IPC_SETVOLUME), 255);
    EXPECT_NE(messages.str().find("left its window procedure installed"), std::string::npos);
    EXPECT_FALSE(host.plugins().load(dir.file("gen_missing.so")));
}

TEST(PlayerProgram, LoadsPluginsBesideItselfAndEndsCleanlyOnSigterm)
{
    // --configure calls each plug-in's config once the player runs; without
    // a display it runs Qt's loop (offscreen) instead of the platform's.
    struct Case {
        int signal;
        const char* option;
        const char* configured;
    };
    for (auto [signal, option, configured] : {Case{SIGTERM, nullptr, ""}, Case{SIGINT, nullptr, ""},
                                              Case{SIGTERM, "--configure", "a config\nb config\n"}}) {
        TempDirectory dir;
        fs::copy_file(PLAYER_PROGRAM, dir.path() / "tunelet-player", fs::copy_options::overwrite_existing);
        fillPluginFolder(dir.path() / "Plugins");
        std::string logFile = dir.file("events.log");
        std::string errFile = dir.file("stderr.txt");
        std::string program = (dir.path() / "tunelet-player").string();
        std::string logVariable = "TUNELET_TEST_PLUGIN_LOG=" + logFile;

        std::vector<char*> env;
        for (char** e = environ; *e; ++e)
            env.push_back(*e);
        env.push_back(logVariable.data());
        env.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string optionText = option ? option : "";
        char* argv[] = {program.data(), option ? optionText.data() : nullptr, nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env.data()), 0);
        posix_spawn_file_actions_destroy(&actions);

        // Wait until both plug-ins have been initialised (and configured).
        std::string last = option ? "b config" : "b init";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (readFile(logFile).find(last) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(readFile(logFile).find(last), std::string::npos) << readFile(errFile);

        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status)) << signal;
        EXPECT_EQ(WEXITSTATUS(status), 0) << signal;
        EXPECT_EQ(readFile(logFile), std::string("a init window=own instance=set length=0\n"
                                                 "b init window=own instance=set length=0\n") +
                                         configured + "b quit answered=0\na quit answered=0\n");
        std::string errors = readFile(errFile);
        EXPECT_NE(errors.find("skipping " + (dir.path() / "Plugins" / "gen_text.so").string()), std::string::npos)
            << errors;
    }
}
