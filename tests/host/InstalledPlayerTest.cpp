// The installed layout end to end: the build tree installed into a fresh
// folder, the player started from there with the module beside it, asked
// over HTTP and ended by SIGTERM.
#include "TempDirectory.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <csignal>
#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace std::chrono_literals;
using hosttest::TempDirectory;
using testing_support::RawClient;
namespace fs = std::filesystem;

namespace {

/// Starts `argv` with standard output and error going to `logFile`; 0 on failure.
pid_t spawn(const std::vector<std::string>& argv, const std::string& logFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

/// The child's wait status, or -1 when it has not ended within `timeout`.
int waitForExit(pid_t pid, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return status;
        if (std::chrono::steady_clock::now() > deadline)
            return -1;
        std::this_thread::sleep_for(10ms);
    }
}

std::uint16_t freePort()
{
    platform::UniqueFd probe = platform::listenTcp(platform::loopbackAddress(), 0);
    return probe ? platform::boundPort(probe.get()) : 0;
}

class InstalledPlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        int status = waitForExit(spawn({TUNELET_CMAKE, "--install", TUNELET_BUILD_DIR, "--prefix",
                                        dir.root.string()},
                                       dir.path("install.log")),
                                 120s);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << TempDirectory::readText(dir.path("install.log"));
    }

    /// Starts the installed player with `options` and waits until it listens
    /// on `port`; 0 (the player killed) when it never does.
    pid_t startListening(std::uint16_t port, const std::string& log, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv{dir.path("tunelet-player")};
        argv.insert(argv.end(), options.begin(), options.end());
        pid_t player = spawn(argv, log);
        if (player == 0)
            return 0;
        // A sanitizer build on a loaded machine starts slowly.
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (platform::connectTcp(platform::loopbackAddress(), port).isValid())
                return player;
            std::this_thread::sleep_for(10ms);
        }
        kill(player, SIGKILL);
        waitForExit(player, 10s);
        return 0;
    }

    TempDirectory dir;
};

} // namespace

TEST_F(InstalledPlayer, TheLayoutHoldsThePlayerThePlatformLibraryAndTheModule)
{
    EXPECT_TRUE(fs::is_regular_file(dir.root / "tunelet-player"));
    EXPECT_TRUE(fs::is_regular_file(dir.root / "libtunelet_platform.so"));
    EXPECT_TRUE(fs::is_regular_file(dir.root / "Plugins" / "gen_Tunelet.so"));

    // The module shows the host its entry and nothing else of its own.
    void* module = dlopen(dir.path("Plugins/gen_Tunelet.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_NE(dlsym(module, "winampGetGeneralPurposePlugin"), nullptr);
    for (const char* inside : {"_ZN4host14PluginInstance8instanceEv", "_ZN4http6Server4stopEv",
                               "_ZN6webapp14WebApplication8dispatchERNS_14RequestContextE",
                               "_ZN9webclient12findResourceEiSt17basic_string_viewIcSt11char_traitsIcEE"})
        EXPECT_EQ(dlsym(module, inside), nullptr) << inside;
    dlclose(module);
}

TEST_F(InstalledPlayer, ServesOverHttpAndEndsCleanlyOnSigterm)
{
    std::uint16_t port = freePort();
    ASSERT_NE(port, 0);
    const std::string ini = dir.path("Plugins/gen_Tunelet.ini");
    TempDirectory::writeText(ini, "[Tunelet Remote Control Plugin v1.0]\r\nlistenIP=127.0.0.1\r\nlistenPort=" +
                                      std::to_string(port) + "\r\n");
    fs::create_directories(dir.root / "Plugins" / "gen_Tunelet" / "skins");
    TempDirectory::writeText(dir.path("Plugins/gen_Tunelet/skins/hello.css"), "p { margin: 0 }");
    const std::string settingsBefore = TempDirectory::readText(ini);
    const std::string log = dir.path("player.log");

    // Several rounds: the end must be clean however soon it follows a request.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        pid_t player = startListening(port, log);
        ASSERT_NE(player, 0) << "the player never listened\n" << TempDirectory::readText(log);

        RawClient client(port);
        ASSERT_TRUE(client.send("GET /info?round=" + std::to_string(round) + " HTTP/1.1\r\n\r\n"));
        RawClient::Answer info = client.readAnswer();
        EXPECT_EQ(info.status, 200);
        EXPECT_NE(info.body.find("<pre>/info</pre>"), std::string::npos);
        EXPECT_NE(info.body.find("<i>round:</i></td><td valign=\"top\">" + std::to_string(round)), std::string::npos);
        ASSERT_TRUE(client.send("GET /hello.css HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(client.readAnswer().body, "p { margin: 0 }");

        // The idle keep-alive connection stays open over the signal, as a
        // browser keeps it: the player ends all the same, long before the
        // connection's idle limit.
        ASSERT_EQ(kill(player, SIGTERM), 0);
        int status = waitForExit(player, 30s);
        if (status == -1) {
            kill(player, SIGKILL);
            waitForExit(player, 10s);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "wait status " << status << "\n" << TempDirectory::readText(log);
        std::string rest;
        EXPECT_EQ(client.waitForEnd(rest, 30s), RawClient::End::closed);
        EXPECT_EQ(rest, "");
    }
    EXPECT_EQ(TempDirectory::readText(ini), settingsBefore) << "quit does not save";
}

TEST_F(InstalledPlayer, TheHomeFolderHoldsThePlayerStateAndThePluginsFiles)
{
    std::uint16_t port = freePort();
    ASSERT_NE(port, 0);
    const fs::path home = dir.root / "home";
    // A home named to the plug-in from outside is not the player's: without
    // --home the files stay beside the program.
    ASSERT_EQ(setenv("TUNELET_PLUGIN_HOME", (home / "Plugins").c_str(), 1), 0);
    const struct {
        std::vector<std::string> options;
        fs::path files;  // where the state and the plug-in's files are
        fs::path elsewhere;  // where nothing of them is
    } cases[] = {
        {{}, dir.root, home},
        {{"--headless", "--home", home.string()}, home, dir.root},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.string());
        fs::create_directories(c.files / "Plugins");
        TempDirectory::writeText((c.files / "Plugins" / "gen_Tunelet.ini").string(),
                                 "[Tunelet Remote Control Plugin v1.0]\r\nlistenIP=127.0.0.1\r\nlistenPort=" +
                                     std::to_string(port) + "\r\n");
        const std::string log = dir.path("player-home.log");
        pid_t player = startListening(port, log, c.options);
        ASSERT_NE(player, 0) << "the player never listened\n" << TempDirectory::readText(log);
        ASSERT_EQ(kill(player, SIGTERM), 0);
        const int status = waitForExit(player, 30s);
        if (status == -1)
            kill(player, SIGKILL), waitForExit(player, 10s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << TempDirectory::readText(log);
        EXPECT_TRUE(fs::is_regular_file(c.files / "tunelet-player.m3u"));
        EXPECT_TRUE(fs::is_directory(c.files / "Plugins" / "gen_Tunelet" / "skins"));
        EXPECT_FALSE(fs::exists(c.elsewhere / "tunelet-player.m3u"));
        EXPECT_FALSE(fs::exists(c.elsewhere / "Plugins" / "gen_Tunelet"));
        for (const char* made : {"Plugins/gen_Tunelet", "Plugins/gen_Tunelet.ini", "tunelet-player.m3u"})
            fs::remove_all(c.files / made);
    }
    unsetenv("TUNELET_PLUGIN_HOME");
}

TEST_F(InstalledPlayer, AStartWithAnUnfinishedIndexRebuildsItAndAnswersSearches)
{
    std::uint16_t port = freePort();
    ASSERT_NE(port, 0);
    const std::string music = dir.path("music");
    fs::create_directories(music + "/Abbey Road");
    TempDirectory::writeText(music + "/Abbey Road/Come Together.mp3", "x");
    TempDirectory::writeText(music + "/Something Else.mp3", "x");
    const std::string ini = dir.path("Plugins/gen_Tunelet.ini");
    TempDirectory::writeText(ini, "[Tunelet Remote Control Plugin v1.0]\r\nlistenIP=127.0.0.1\r\nlistenPort=" +
                                      std::to_string(port) + "\r\nShared Dirs=" + music + ";\r\nNeedsIndex=1\r\n");
    const std::string log = dir.path("player.log");
    // Headless, the question is answered by its default button, OK.
    pid_t player = startListening(port, log);
    ASSERT_NE(player, 0) << "the player never listened\n" << TempDirectory::readText(log);

    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (TempDirectory::readText(ini).find("NeedsIndex=0") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_NE(TempDirectory::readText(ini).find("NeedsIndex=0"), std::string::npos) << TempDirectory::readText(log);

    RawClient client(port);
    auto ask = [&](const std::string& target) {
        EXPECT_TRUE(client.send("GET " + target + " HTTP/1.1\r\n\r\n"));
        return client.readAnswer().body;
    };
    EXPECT_EQ(ask("/enqueuefile?filename=search%3A%2F%2Fcome%20together"), "1");
    EXPECT_EQ(ask("/enqueuefile?filename=searchf%3A%2F%2Fabbey"), "1");
    EXPECT_EQ(ask("/getplaylistlength"), "2");
    EXPECT_EQ(ask("/getplaylistfilename?index=0"), music + "/Abbey Road/Come Together.mp3");
    EXPECT_EQ(ask("/getplaylistfilename?index=1"), music + "/Abbey Road/Come Together.mp3");

    ASSERT_EQ(kill(player, SIGTERM), 0);
    std::string rest;
    client.waitForEnd(rest, 30s);
    client.close();
    const int status = waitForExit(player, 30s);
    if (status == -1)
        kill(player, SIGKILL);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << TempDirectory::readText(log);
    EXPECT_TRUE(fs::is_regular_file(dir.root / "Plugins" / "gen_Tunelet" / "search-index" / "current"));
}

TEST_F(InstalledPlayer, AnAddressItCannotListenOnIsSaidInOneLine)
{
    std::uint16_t port = freePort();
    ASSERT_NE(port, 0);
    platform::UniqueFd taker = platform::listenTcp(platform::loopbackAddress(), port);
    ASSERT_TRUE(taker.isValid());
    const struct {
        const char* address;
        const char* reason;
    } cases[] = {{"127.0.0.1", "address in use"}, {"10.255.0.1", "address not available on this machine"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        TempDirectory::writeText(dir.path("Plugins/gen_Tunelet.ini"),
                                 std::string("[Tunelet Remote Control Plugin v1.0]\r\nlistenIP=") + c.address +
                                     "\r\nlistenPort=" + std::to_string(port) + "\r\n");
        const std::string log = dir.path(std::string("player-") + c.address + ".log");
        pid_t player = spawn({dir.path("tunelet-player")}, log);
        ASSERT_NE(player, 0);
        const std::string line = "Tunelet: cannot listen on " + std::string(c.address) + ":" + std::to_string(port) +
                                 ": " + c.reason + "\n";
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (TempDirectory::readText(log).find(line) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        // The player runs on without its server, and ends as usual.
        ASSERT_EQ(kill(player, SIGTERM), 0);
        const int status = waitForExit(player, 30s);
        if (status == -1)
            kill(player, SIGKILL), waitForExit(player, 10s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
        const std::string said = TempDirectory::readText(log);
        EXPECT_NE(said.find(line), std::string::npos) << said;
        EXPECT_EQ(said.find("cannot listen"), said.rfind("cannot listen")) << "one line\n" << said;
    }
}
