#include "settings/Settings.h"

#include "settings/IniFile.h"

#include "host/TempDirectory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using host::Settings;
using host::SettingsData;
using hosttest::TempDirectory;

namespace {

const std::string header = "[Tunelet Remote Control Plugin v1.0]\n";

/// Every field in one text, so a mismatch shows which one differs.
std::string dump(const SettingsData& s)
{
    std::string out = "autoStart=" + std::to_string(s.autoStart) + "|listenPort=" + std::to_string(s.listenPort) +
                      "|listenIP=" + s.listenIP + "|timeout=" + std::to_string(s.timeout) + "|username=" + s.username +
                      "|password=" + s.password + "|requirePassword=" + std::to_string(s.requirePassword) +
                      "|filterIPs=" + std::to_string(s.filterIPs) + "|allowed=" + s.allowedIPs +
                      "|blocked=" + s.blockedIPs + "|enableML=" + std::to_string(s.enableML) + "|dirs=";
    for (const std::string& dir : s.sharedDirs)
        out += "<" + dir + ">";
    return out + "|documentRoot=" + s.documentRoot + "|needsIndex=" + std::to_string(s.needsIndex);
}

void fillUnusual(SettingsData& s)
{
    s.autoStart = false;
    s.listenPort = 8080;
    s.listenIP = "192.168.1.20";
    s.timeout = -60;
    s.username = "admin user";
    s.password = " p@ss=wo;rd\\ ";
    s.requirePassword = true;
    s.filterIPs = true;
    s.allowedIPs = "10.0.0.*\r\n10.0.1.*\r\n127.0.0.1";
    s.blockedIPs = "10.0.0.5\r\n10.0.0.6";
    s.enableML = false;
    s.sharedDirs = {"/srv/music", "C:\\Music\\new\\rock", "/home/me/Audio Books"};
    s.documentRoot = "/opt/tunelet/skins";
    s.needsIndex = true;
    s.allowedHosts = "music.home\r\nplayer.lan, den";
    s.adminFromLan = true;
}

} // namespace

TEST(Settings, NoFileGivesTheDefaultsAndCreatesNothing)
{
    TempDirectory dir;
    Settings s(dir.path("gen_Tunelet.ini"));
    EXPECT_EQ(s.iniPath, dir.path("gen_Tunelet.ini"));
    EXPECT_EQ(dump(s.snapshot()), "autoStart=1|listenPort=5151|listenIP=0.0.0.0|timeout=900|username=|password="
                       "|requirePassword=0|filterIPs=0|allowed=127.0.0.1\r\n192.168.0.*\r\n192.168.1.*"
                       "|blocked=|enableML=1|dirs=|documentRoot=|needsIndex=0");
    EXPECT_FALSE(std::filesystem::exists(s.iniPath));
}

TEST(Settings, FirstSaveWritesEveryKeyInOrder)
{
    TempDirectory dir;
    Settings s(dir.path("a.ini"));
    s.update([](SettingsData& d) { d.sharedDirs = {"C:\\Music", "D:\\Audio Books"}; });
    ASSERT_TRUE(s.save());
    EXPECT_EQ(TempDirectory::readText(s.iniPath), header +
                                                      "autoStart=1\n"
                                                      "listenIP=0.0.0.0\n"
                                                      "listenPort=5151\n"
                                                      "timeout=900\n"
                                                      "requirePassword=0\n"
                                                      "username=\n"
                                                      "password=\n"
                                                      "filterIPs=0\n"
                                                      "Allowed IPs=127.0.0.1\\r\\n192.168.0.*\\r\\n192.168.1.*\n"
                                                      "Blocked Ips=\n"
                                                      "Enable ML=1\n"
                                                      "Shared Dirs=C:\\Music;D:\\Audio Books;\n"
                                                      "DocumentRoot=\n"
                                                      "NeedsIndex=0\n");
}

TEST(Settings, EveryFieldSurvivesSaveAndLoad)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    Settings unusual(path);
    unusual.update([](SettingsData& d) { fillUnusual(d); });
    ASSERT_TRUE(unusual.save());
    Settings reread(path);
    EXPECT_EQ(dump(reread.snapshot()), dump(unusual.snapshot()));
    EXPECT_EQ(reread.snapshot().allowedHosts, "music.home\r\nplayer.lan, den");
    EXPECT_TRUE(reread.snapshot().adminFromLan);
    EXPECT_NE(TempDirectory::readText(path).find("Admin From LAN=1\n"), std::string::npos);

    // And back: every flag and text returns to its default form too.
    Settings defaults(dir.path("none.ini"));
    Settings again(path);
    again.replace(SettingsData::readFrom(host::IniDocument()));
    ASSERT_TRUE(again.save());
    ASSERT_TRUE(reread.load());
    EXPECT_EQ(dump(reread.snapshot()), dump(defaults.snapshot()));
    // Once in the file, a cleared list is written as cleared.
    EXPECT_EQ(reread.snapshot().allowedHosts, "");
    EXPECT_NE(TempDirectory::readText(path).find("Admin From LAN=0\n"), std::string::npos);
}

TEST(Settings, StoredFormsReadAsTheFileStatesThem)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    auto loaded = [&](const std::string& lines) {
        TempDirectory::writeText(path, header + lines);
        return Settings(path).snapshot();
    };
    using Dirs = std::vector<std::string>;
    EXPECT_EQ(loaded("Shared Dirs=C:\\Music;D:\\Audio Books;\n").sharedDirs, (Dirs{"C:\\Music", "D:\\Audio Books"}));
    EXPECT_EQ(loaded("Shared Dirs=;;C:\\Music;\n").sharedDirs, (Dirs{"C:\\Music"}));
    EXPECT_EQ(loaded("Shared Dirs=D:\\new\\rock\n").sharedDirs, (Dirs{"D:\\new\\rock"}));
    EXPECT_EQ(loaded("Allowed IPs=10.0.0.*\\r\\n10.0.1.*\n").allowedIPs, "10.0.0.*\r\n10.0.1.*");
    EXPECT_EQ(loaded("Allowed IPs=\n").allowedIPs, "");
    EXPECT_EQ(loaded("Blocked IPs=a\\\\b\\\\r\n").blockedIPs, "a\\b\\\r");
    EXPECT_EQ(loaded("blocked ips=1.2.3.4\n").blockedIPs, "1.2.3.4");
    EXPECT_FALSE(loaded("AUTOSTART=0\n").autoStart);
    EXPECT_EQ(loaded("username=" + std::string(40, 'u') + "\n").username, std::string(32, 'u'));
    EXPECT_EQ(loaded("password=" + std::string(33, 'p') + "\n").password, std::string(32, 'p'));
    EXPECT_EQ(loaded("listenIP=not-an-address\n").listenIP, "not-an-address");
    EXPECT_EQ(loaded("listenIP=1.2.3.4.5.6.7.8.9\n").listenIP, "1.2.3.4.5.6.7.8");
    EXPECT_EQ(loaded("DocumentRoot=" + std::string(1000, 'd') + "\n").documentRoot, std::string(259, 'd'));
    // The limit bounds the stored text: the cut falls inside an escape.
    EXPECT_EQ(loaded("Allowed IPs=" + std::string(4094, 'a') + "\\r" + std::string(5000, 'b') + "\n").allowedIPs,
              std::string(4094, 'a') + "\\");

    auto dirs = loaded("Shared Dirs=" + std::string(300000, 'x') + "\n").sharedDirs;
    ASSERT_EQ(dirs.size(), 1u);
    EXPECT_EQ(dirs[0].size(), SettingsData::sharedDirsLimit);
}

TEST(Settings, NumbersThatAreNotNumbersGiveTheDefault)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    auto loaded = [&](const std::string& lines) {
        TempDirectory::writeText(path, header + lines);
        return Settings(path).snapshot();
    };
    auto port = [&](const char* stored, std::int32_t expected) {
        EXPECT_EQ(loaded(std::string("listenPort=") + stored + "\n").listenPort, expected) << stored;
    };
    port("abc", 5151);
    port("", 5151);
    port("-", 5151);
    port("99999999999", 5151);
    port("2147483648", 5151);
    port("2147483647", 2147483647);
    port("-2147483648", -2147483647 - 1);
    port(" 8080 ", 8080);
    port("8080abc", 8080);
    port("-1", -1);
    EXPECT_EQ(loaded("timeout=x\n").timeout, 900);

    auto flag = [&](const char* key, const char* stored, bool expected) {
        const SettingsData s = loaded(std::string(key) + "=" + stored + "\n");
        bool value = std::string(key) == "autoStart"         ? s.autoStart
                     : std::string(key) == "requirePassword" ? s.requirePassword
                     : std::string(key) == "Enable ML"       ? s.enableML
                                                             : s.needsIndex;
        EXPECT_EQ(value, expected) << key << "=" << stored;
    };
    flag("autoStart", "yes", true); // not a number: the default
    flag("autoStart", "0x1", false);
    flag("requirePassword", "-3", true);
    flag("requirePassword", "no", false);
    flag("Enable ML", "0", false);
    flag("NeedsIndex", "2", true);
}

TEST(Settings, SaveKeepsAHandEditedFile)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    TempDirectory::writeText(path,
                             "; my notes\n"
                             "[Other Plugin]\n"
                             "autoStart=7\n"
                             "\n"
                             "[tunelet remote control plugin V1.0]\n"
                             "# hand comment\n"
                             "LISTENPORT = 6000\n"
                             "Blocked IPs=10.1.1.1\n"
                             "extra=kept\n"
                             "\n"
                             "[Tail]\n"
                             "x=1\n");
    Settings s(path);
    EXPECT_EQ(s.snapshot().listenPort, 6000);
    EXPECT_EQ(s.snapshot().blockedIPs, "10.1.1.1");
    s.update([](SettingsData& d) { d.timeout = 30; });
    ASSERT_TRUE(s.save());
    EXPECT_EQ(TempDirectory::readText(path),
              "; my notes\n"
              "[Other Plugin]\n"
              "autoStart=7\n"
              "\n"
              "[tunelet remote control plugin V1.0]\n"
              "# hand comment\n"
              "listenPort=6000\n"
              "Blocked Ips=10.1.1.1\n"
              "extra=kept\n"
              "autoStart=1\n"
              "listenIP=0.0.0.0\n"
              "timeout=30\n"
              "requirePassword=0\n"
              "username=\n"
              "password=\n"
              "filterIPs=0\n"
              "Allowed IPs=127.0.0.1\\r\\n192.168.0.*\\r\\n192.168.1.*\n"
              "Enable ML=1\n"
              "Shared Dirs=\n"
              "DocumentRoot=\n"
              "NeedsIndex=0\n"
              "\n"
              "[Tail]\n"
              "x=1\n");
}

TEST(Settings, JunkFileGivesDefaultsAndSurvivesASave)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    std::string junk("\x00\x01garbage=1\nautoStart=0\n\xff\xfe[[[\n", 30);
    TempDirectory::writeText(path, junk);
    Settings s(path);
    Settings defaults(dir.path("none.ini"));
    EXPECT_EQ(dump(s.snapshot()), dump(defaults.snapshot()));
    ASSERT_TRUE(s.save());
    std::string text = TempDirectory::readText(path);
    EXPECT_EQ(text.substr(0, junk.size()), junk);
    EXPECT_TRUE(Settings(path).snapshot().autoStart);
}

TEST(Settings, UnreadableFileGivesDefaultsAndIsNotReplaced)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    std::filesystem::create_directories(path + "/keep");
    Settings s(path);
    EXPECT_FALSE(s.load());
    EXPECT_EQ(s.snapshot().listenPort, 5151);
    EXPECT_FALSE(s.save());
    EXPECT_TRUE(std::filesystem::is_directory(path + "/keep"));
}

TEST(Settings, DirectoryHoldingSemicolonIsNotStored)
{
    TempDirectory dir;
    Settings s(dir.path("a.ini"));
    s.update([](SettingsData& d) { d.sharedDirs = {"/music", "/home/a;/etc", "/books"}; });
    ASSERT_TRUE(s.save());
    EXPECT_EQ(Settings(s.iniPath).snapshot().sharedDirs, (std::vector<std::string>{"/music", "/books"}));
}

TEST(Settings, InterruptedSaveKeepsTheOldValues)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    Settings s(path);
    s.update([](SettingsData& d) { fillUnusual(d); });
    ASSERT_TRUE(s.save());
    std::string before = TempDirectory::readText(path);

    ASSERT_TRUE(host::IniFile::writeAside(path, header + "autoStart=1\nlistenPo"));
    Settings reread(path);
    EXPECT_EQ(dump(reread.snapshot()), dump(s.snapshot()));
    EXPECT_EQ(TempDirectory::readText(path), before);
}

TEST(Settings, ConcurrentSavesEachLeaveAWholeFile)
{
    TempDirectory dir;
    std::string path = dir.path("a.ini");
    Settings first(path);
    first.update([](SettingsData& d) { fillUnusual(d); });
    Settings second(path);
    second.update([](SettingsData& d) {
        d.listenPort = 1234;
        d.sharedDirs = {std::string(5000, 'd')};
    });
    Settings shared(dir.path("b.ini"));
    shared.update([](SettingsData& d) { fillUnusual(d); });

    std::vector<std::thread> savers;
    for (Settings* s : {&first, &second, &shared, &shared})
        savers.emplace_back([s] {
            for (int i = 0; i < 20; ++i)
                EXPECT_TRUE(s->save());
        });
    for (std::thread& saver : savers)
        saver.join();

    std::string result = dump(Settings(path).snapshot());
    EXPECT_TRUE(result == dump(first.snapshot()) || result == dump(second.snapshot())) << result;
    EXPECT_EQ(dump(Settings(shared.iniPath).snapshot()), dump(shared.snapshot()));
    EXPECT_FALSE(std::filesystem::exists(host::IniFile::tempPathFor(path)));
}

TEST(Settings, ReadersSeeWholeRecordsWhileOthersReplaceUpdateAndSave)
{
    TempDirectory dir;
    Settings s(dir.path("a.ini"));
    SettingsData first;
    fillUnusual(first);
    SettingsData second;
    second.listenPort = 1234;
    second.username = std::string(30, 'b');
    second.sharedDirs = {std::string(3000, 'd'), "/second"};
    const std::string firstDump = dump(first);
    const std::string secondDump = dump(second);
    auto isWhole = [&](const SettingsData& seen) {
        const std::string text = dump(seen);
        return text == firstDump || text == secondDump;
    };
    s.replace(first);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; !done; ++i) {
            if (i % 2)
                s.replace(i % 4 == 1 ? first : second);
            else
                s.update([&](SettingsData& d) { d = i % 4 == 0 ? second : first; });
        }
    });
    threads.emplace_back([&] {
        for (int i = 0; i < 40; ++i)
            EXPECT_TRUE(s.save());
        done = true;
    });
    for (int reader = 0; reader < 2; ++reader)
        threads.emplace_back([&] {
            while (!done)
                if (!isWhole(s.snapshot()))
                    ++torn;
        });
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_TRUE(isWhole(Settings(s.iniPath).snapshot()));
    // Whatever the saves raced over, the last save leaves the last values.
    ASSERT_TRUE(s.save());
    EXPECT_EQ(Settings(s.iniPath).snapshot(), s.snapshot());
}
