// The plug-in's start-up, configure and quit against a window playing the
// host (FakeHost) and against the real host player, in process.
#include "FakeHost.h"
#include "TempDirectory.h"
#include "host/Ipv4Address.h"
#include "host/PluginInstance.h"
#include "host/Settings.h"
#include "http/Response.h"
#include "http/support/RawClient.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "platform/PlayerMessages.h"
#include "platform/Socket.h"
#include "player/Player.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteTables.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;
using hosttest::FakeHost;
using hosttest::TempDirectory;
using testing_support::RawClient;

namespace {

const std::string section = "[Tunelet Remote Control Plugin v1.0]\r\n";

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.root / "Plugins");
        modulePath = dir.path("Plugins/gen_Tunelet.so");
        iniPath = dir.path("Plugins/gen_Tunelet.ini");
        plugin.pluginRecord()->hwndParent = host.window();
        plugin.pluginRecord()->hDllInstance = &moduleHandle;
    }
    void TearDown() override { plugin.quit(); }

    void writeIni(const std::string& lines) { TempDirectory::writeText(iniPath, section + lines); }

    std::uint16_t waitUntilListening()
    {
        webapp::TuneletServer* server = plugin.getServer();
        for (int i = 0; i < 1000 && server->listeningPort() == 0; ++i)
            std::this_thread::sleep_for(10ms);
        return server->listeningPort();
    }

    TempDirectory dir;
    FakeHost host;
    host::PluginInstance& plugin = host::PluginInstance::instance();
    std::string modulePath;
    std::string iniPath;
    int moduleHandle = 0;
};

} // namespace

TEST_F(Lifecycle, TheRecordNamesThePluginAndItsOperations)
{
    platform::PluginRecord* record = winampGetGeneralPurposePlugin();
    EXPECT_EQ(record, plugin.pluginRecord());
    EXPECT_EQ(record->version, 0x10);
    EXPECT_STREQ(record->description, "Tunelet Remote Control Plugin");
    EXPECT_NE(record->init, nullptr);
    EXPECT_NE(record->config, nullptr);
    EXPECT_NE(record->quit, nullptr);
    EXPECT_EQ(plugin.getSettings(), nullptr);
    EXPECT_EQ(plugin.getServer(), nullptr);
}

TEST_F(Lifecycle, StartUpBuildsEverythingAndQuitStopsWaitsAndDoesNotSave)
{
    writeIni("listenIP=127.0.0.1\r\nlistenPort=0\r\ntimeout=77\r\n");
    const std::string fileBefore = TempDirectory::readText(iniPath);
    ASSERT_EQ(plugin.initFrom(modulePath), 0);

    host::Settings* settings = plugin.getSettings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->iniPath, iniPath);
    EXPECT_EQ(settings->snapshot().timeout, 77);
    const std::string skins = dir.path("Plugins/gen_Tunelet/skins");
    EXPECT_EQ(settings->snapshot().documentRoot, skins);
    EXPECT_TRUE(std::filesystem::is_directory(skins));
    ASSERT_NE(plugin.getWebApplication(), nullptr);
    EXPECT_EQ(plugin.getWebApplication()->mainWindow, host.window());
    EXPECT_EQ(plugin.getWebApplication()->module, &moduleHandle);
    EXPECT_EQ(&plugin.getWebApplication()->settings, settings);
    webapp::TuneletServer* server = plugin.getServer();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(&server->application, plugin.getWebApplication());
    EXPECT_EQ(server->documentRoot, skins);  // settings complete before the server was made
    EXPECT_EQ(server->idleTimeout.load(), 77);
    EXPECT_NE(getWindowProc(host.window()), &FakeHost::ownProc);
    EXPECT_EQ(sendMessage(host.window(), WM_USER + 5), FakeHost::answer);  // passed on

    std::uint16_t port = waitUntilListening();
    ASSERT_NE(port, 0);
    {
        RawClient client(port);
        ASSERT_TRUE(client.send("GET /info HTTP/1.1\r\n\r\n"));
        EXPECT_EQ(client.readAnswer().status, 200);
    }

    // A keep-alive connection that stays open until the server ends it.
    RawClient idle(port);
    ASSERT_TRUE(idle.send("GET /playlist.css HTTP/1.1\r\n\r\n"));
    ASSERT_EQ(idle.readAnswer().status, 200);
    RawClient::End idleEnd = RawClient::End::stillOpen;
    std::thread watcher([&] {
        std::string ignored;
        idleEnd = idle.waitForEnd(ignored, 20s);
        idle.close();
    });

    auto listener = server->threadHandle();
    settings->update([](host::SettingsData& d) { d.username = "changed"; });  // quit must not write this
    plugin.quit();
    watcher.join();

    EXPECT_TRUE(listener->isFinished());
    EXPECT_EQ(idleEnd, RawClient::End::closed);
    EXPECT_EQ(plugin.getServer(), nullptr);
    EXPECT_EQ(plugin.getWebApplication(), nullptr);
    EXPECT_EQ(plugin.getSettings(), nullptr);
    EXPECT_EQ(getWindowProc(host.window()), &FakeHost::ownProc);
    EXPECT_EQ(TempDirectory::readText(iniPath), fileBefore);
    EXPECT_FALSE(connectTcp(loopbackAddress(), port).isValid());
}

TEST_F(Lifecycle, AllAccessSettingsAreHandedOverAndFilteringHoldsFromTheFirstConnection)
{
    writeIni("listenIP=127.0.0.1\r\nlistenPort=0\r\nrequirePassword=0\r\nusername=ann\r\npassword=pw\r\n"
             "filterIPs=1\r\nAllowed IPs=10.0.0.*\\r\\n10.0.1.*\r\nBlocked IPs=10.0.0.9\r\n");
    plugin.initFrom(modulePath);
    webapp::TuneletServer* server = plugin.getServer();
    const std::shared_ptr<const http::AccessRules> access = server->access();
    EXPECT_FALSE(access->requirePassword);
    EXPECT_EQ(access->username, "ann");
    EXPECT_EQ(access->password, "pw");
    EXPECT_TRUE(access->filterIPs);
    EXPECT_EQ(access->allowedIPs, (std::vector<std::string>{"10.0.0.*", "10.0.1.*"}));
    EXPECT_EQ(access->blockedIPs, (std::vector<std::string>{"10.0.0.9"}));

    std::uint16_t port = waitUntilListening();
    ASSERT_NE(port, 0);
    RawClient client(port);
    client.send("GET /info HTTP/1.1\r\n\r\n");
    EXPECT_EQ(client.readAnswer(5s).status, 0) << "127.0.0.1 is not on the allowed list";
}

TEST_F(Lifecycle, TheMenuItemIsRemovedAndPutBackOnEveryOpening)
{
    writeIni("autoStart=0\r\n");
    plugin.initFrom(modulePath);
    EXPECT_EQ(FakeHost::countOf(host.menu(0), 20817), 0) << "nothing is inserted before a menu opens";

    for (int opening = 0; opening < 3; ++opening) {
        EXPECT_EQ(host.openMenu(host.menu(0)), 0);
        EXPECT_EQ(FakeHost::countOf(host.menu(0), 20817), 1);
        EXPECT_EQ(FakeHost::positionOf(host.menu(0), 20817), 1);
        EXPECT_EQ(FakeHost::countOf(host.menu(3), 20817), 0);
    }
    for (int opening = 0; opening < 2; ++opening) {
        EXPECT_EQ(host.openMenu(host.menu(3)), 0);
        EXPECT_EQ(FakeHost::countOf(host.menu(3), 20817), 1);
        EXPECT_EQ(FakeHost::positionOf(host.menu(3), 20817), 0);
    }
    EXPECT_EQ(FakeHost::positionOf(host.menu(0), 20817), 1);
    MenuItem item;
    ASSERT_TRUE(getMenuItem(host.menu(0), 1, item));
    EXPECT_EQ(item.text, "Tunelet Preferences...");
    EXPECT_EQ(getMenuItemCount(host.menu(0)), 4);
    EXPECT_EQ(getMenuItemCount(host.menu(3)), 3);

    UniqueMenu other(createMenu());
    insertMenuItem(other.get(), 0, 1, "Something");
    EXPECT_EQ(host.openMenu(other.get()), 0);
    EXPECT_EQ(getMenuItemCount(other.get()), 1);

    // The host always prepared its menu without the item, once per opening.
    EXPECT_EQ(host.events(), (std::vector<std::string>{
                                 "WM_INITMENUPOPUP 0 item=0", "WM_INITMENUPOPUP 0 item=0", "WM_INITMENUPOPUP 0 item=0",
                                 "WM_INITMENUPOPUP 3 item=0", "WM_INITMENUPOPUP 3 item=0", "WM_INITMENUPOPUP ? item=0"}));
}

TEST_F(Lifecycle, ThePreferencesCommandConfiguresOnlyWithAZeroHighWordAndIsAlwaysPassedOn)
{
    writeIni("autoStart=0\r\n");
    plugin.initFrom(modulePath);
    const std::string dialogFailed = "box Error|Dialog failed!|" + std::to_string(MB_OK | MB_ICONINFORMATION) + "|1";
    auto check = [&](WPARAM wParam, std::vector<std::string> expected) {
        host.clearEvents();
        EXPECT_EQ(sendMessage(host.window(), WM_COMMAND, wParam, 0), FakeHost::answer);
        EXPECT_EQ(host.events(), expected) << "wParam " << wParam;
    };
    check(makeLong(20817, 0), {dialogFailed, "WM_COMMAND 20817/0"});
    check(makeLong(20817, 1), {"WM_COMMAND 20817/1"});
    check(makeLong(20817, 0x8000), {"WM_COMMAND 20817/32768"});
    check(makeLong(20818, 0), {"WM_COMMAND 20818/0"});
    check(makeLong(40045, 0), {"WM_COMMAND 40045/0"});

    // The host's own configure call takes the same way.
    host.clearEvents();
    plugin.pluginRecord()->config();
    EXPECT_EQ(host.events(), std::vector<std::string>{dialogFailed});
}

TEST_F(Lifecycle, TheUnfinishedIndexQuestion)
{
    const std::string question =
        "box Search Index Incomplete|Tunelet was shutdown while indexing of the Media Library was still in "
        "progress.\r\nSearching will not return complete results until indexing is fully complete. \r\nWould "
        "you like to reindex now?|" +
        std::to_string(MB_OKCANCEL | MB_ICONWARNING) + "|0";
    const std::string music = dir.path("music");
    std::filesystem::create_directories(music + "/Abbey Road");
    TempDirectory::writeText(music + "/Abbey Road/Come Together.mp3", "x");
    for (int answer : {IDCANCEL, IDABORT, IDOK}) {
        SCOPED_TRACE("answer " + std::to_string(answer));
        writeIni("autoStart=0\r\nNeedsIndex=1\r\nShared Dirs=" + music + ";\r\n");
        host.boxAnswer = answer;
        host.clearEvents();
        plugin.initFrom(modulePath);
        library::MediaLibrary& library = *plugin.getWebApplication()->library;
        if (answer == IDOK) {
            // The rebuild runs on; its end clears the flag.
            library.indexer().threadHandle()->wait();
        }
        std::vector<library::LibraryEntry> found;
        library.search("come together", false, found);
        plugin.quit();
        EXPECT_EQ(host.events(), std::vector<std::string>{question});

        // Saved whole either way: the filled-in document root went along.
        const host::SettingsData stored = host::Settings(iniPath).snapshot();
        EXPECT_FALSE(stored.needsIndex);
        EXPECT_NE(TempDirectory::readText(iniPath).find("NeedsIndex=0"), std::string::npos);
        EXPECT_EQ(stored.documentRoot, dir.path("Plugins/gen_Tunelet/skins"));
        EXPECT_EQ(found.size(), answer == IDOK ? 1u : 0u);
    }

    writeIni("autoStart=0\r\nNeedsIndex=0\r\n");
    host.clearEvents();
    plugin.initFrom(modulePath);
    EXPECT_TRUE(host.events().empty()) << "no question without the flag";
}

TEST_F(Lifecycle, NoListeningWhenTheAddressCannotOrAutoStartIsOff)
{
    for (const char* lines : {"listenIP=localhost\r\n", "listenIP=::1\r\n", "listenIP=127.0.0.1\r\nautoStart=0\r\n",
                              "listenIP=127.0.0.1\r\nlistenPort=70000\r\n", "listenIP=127.0.0.1\r\nlistenPort=-1\r\n"}) {
        SCOPED_TRACE(lines);
        writeIni(lines);
        plugin.initFrom(modulePath);
        ASSERT_NE(plugin.getServer(), nullptr);
        EXPECT_EQ(plugin.getServer()->threadHandle(), nullptr) << "never started";
        EXPECT_EQ(plugin.getServer()->listeningPort(), 0);
        EXPECT_NE(getWindowProc(host.window()), &FakeHost::ownProc) << "the rest of start-up went on";
        plugin.quit();
        EXPECT_EQ(getWindowProc(host.window()), &FakeHost::ownProc);
    }
}

TEST_F(Lifecycle, APortAlreadyTakenEndsOnlyTheListener)
{
    // A second instance on the same port: its listener gives up, the rest of
    // the plug-in runs on and quits normally.
    std::uint32_t loopback = 0;
    ASSERT_TRUE(host::parseIPv4("127.0.0.1", loopback));
    UniqueFd first = listenTcp(loopback, 0);
    ASSERT_TRUE(first);
    const std::uint16_t taken = boundPort(first.get());
    writeIni("listenIP=127.0.0.1\r\nlistenPort=" + std::to_string(taken) + "\r\n");
    plugin.initFrom(modulePath);
    auto handle = plugin.getServer()->threadHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->waitFor(10s)) << "the listener ends when it cannot bind";
    EXPECT_EQ(plugin.getServer()->listeningPort(), 0);
    EXPECT_NE(getWindowProc(host.window()), &FakeHost::ownProc) << "the rest of start-up went on";
    plugin.quit();
    EXPECT_EQ(getWindowProc(host.window()), &FakeHost::ownProc);
}

TEST_F(Lifecycle, QuitCompletesWhileAConnectionWaitsForThePlayersAnswer)
{
    writeIni("listenIP=127.0.0.1\r\nlistenPort=0\r\n");
    plugin.initFrom(modulePath);
    std::uint16_t port = waitUntilListening();
    ASSERT_NE(port, 0);

    // A route that asks the player something once the listener has closed,
    // which is when quit waits for the server's thread on this very thread.
    webapp::TuneletServer* server = plugin.getServer();
    HWND player = host.window();
    platform::Event entered;
    std::atomic<LRESULT> playerAnswer{0};
    webapp::routeTable()["askplayer"] = [&](webapp::WebApplication&, webapp::RequestContext& context) {
        entered.set();
        for (int i = 0; i < 2000 && server->listeningPort() != 0; ++i)
            std::this_thread::sleep_for(5ms);
        playerAnswer = sendMessage(player, WM_USER + 99);
        context.response.setBody("asked");
        context.response.send();
    };

    RawClient client(port);
    ASSERT_TRUE(client.send("GET /askplayer HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(entered.waitFor(10s));

    platform::Event quitDone;
    std::thread watchdog([&] {
        if (!quitDone.waitFor(30s)) {
            std::fputs("quit hangs while a connection waits for the player\n", stderr);
            std::_Exit(1);
        }
    });
    plugin.quit();
    quitDone.set();
    watchdog.join();
    webapp::routeTable().erase("askplayer");

    EXPECT_EQ(playerAnswer.load(), FakeHost::answer);
    EXPECT_EQ(host.events(), std::vector<std::string>{"message " + std::to_string(WM_USER + 99)});
}

TEST_F(Lifecycle, WithTheRealHostPlayer)
{
    std::ostringstream log;
    player::Player realHost(player::Player::defaultClock(), 1, log);
    plugin.pluginRecord()->hwndParent = realHost.mainWindow();
    std::vector<std::string> boxes;
    setMessageBoxHook([&](HWND owner, const std::string& text, const std::string& caption, UINT type) {
        boxes.push_back(caption + "|" + text + "|" + std::to_string(type) +
                        (owner == realHost.mainWindow() ? "|owned" : "|unowned"));
        return IDOK;
    });
    writeIni("autoStart=0\r\n");
    plugin.initFrom(modulePath);

    for (int opening = 0; opening < 2; ++opening) {
        std::vector<MenuItem> menu0 = realHost.window().openMenu(0);
        ASSERT_GE(menu0.size(), 2u);
        EXPECT_EQ(menu0[1].id, 20817u);
        EXPECT_EQ(menu0[1].text, "Tunelet Preferences...");
        EXPECT_EQ(std::count_if(menu0.begin(), menu0.end(), [](const MenuItem& i) { return i.id == 20817; }), 1);
        std::vector<MenuItem> menu3 = realHost.window().openMenu(3);
        ASSERT_FALSE(menu3.empty());
        EXPECT_EQ(menu3[0].id, 20817u);
    }
    realHost.window().chooseMenuItem(20817);
    EXPECT_EQ(boxes, std::vector<std::string>{"Error|Dialog failed!|64|owned"});
    // The player still answers through the subclass.
    EXPECT_EQ(sendMessage(realHost.mainWindow(), WM_WA_IPC, 1, IPC_GET_SHUFFLE), 0);

    plugin.quit();
    EXPECT_FALSE(realHost.window().restoreMainProcedure()) << "quit put the player's procedure back";
    setMessageBoxHook({});
}
