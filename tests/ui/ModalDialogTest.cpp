// The preferences dialog run modally by the plug-in inside the real host
// player, whose window is served from Qt's loop: the browser keeps driving
// the player while the dialog is open.
#include "host/PluginInstance.h"
#include "host/TempDirectory.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "platform/qt/QtMessagePump.h"
#include "player/Player.h"
#include "webapp/TuneletServer.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <thread>

using hosttest::TempDirectory;
using namespace std::chrono_literals;

TEST(ModalConfigDialog, ThePlayerAnswersWhileTheDialogIsOpen)
{
    TempDirectory dir;
    std::filesystem::create_directories(dir.root / "Plugins");
    platform::UniqueFd probe = platform::listenTcp(0, 0);
    const std::uint16_t port = platform::boundPort(probe.get());
    probe.reset();
    TempDirectory::writeText(dir.path("Plugins/gen_Tunelet.ini"),
                             "[Tunelet Remote Control Plugin v1.0]\r\nlistenPort=" + std::to_string(port) + "\r\n");

    std::ostringstream log;
    player::Player realHost(player::Player::defaultClock(), 1, log);
    platform::QtMessagePump pump;
    ASSERT_TRUE(pump.isWatching());
    host::PluginInstance& plugin = host::PluginInstance::instance();
    int moduleHandle = 0;
    plugin.pluginRecord()->hwndParent = realHost.mainWindow();
    plugin.pluginRecord()->hDllInstance = &moduleHandle;
    plugin.initFrom(dir.path("Plugins/gen_Tunelet.so"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return plugin.getServer()->listeningPort() == port; }, 10000));

    // Once the dialog's own loop runs: each command in turn, with a second
    // for its answer, then the dialog closed.
    std::vector<std::string> answers;
    std::thread browser;
    QTimer::singleShot(0, [&] {
        browser = std::thread([&] {
            for (const std::string route : {"play", "getvolume", "playlist.xml"}) {
                testing_support::RawClient client(port);
                client.send("GET /" + route + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
                const auto answer = client.readAnswer(1s);
                answers.push_back(route + " " + std::to_string(answer.status));
            }
            QMetaObject::invokeMethod(
                qApp,
                [] {
                    if (QWidget* open = QApplication::activeModalWidget())
                        open->close();
                },
                Qt::QueuedConnection);
        });
    });
    plugin.config();
    browser.join();
    EXPECT_EQ(answers, (std::vector<std::string>{"play 200", "getvolume 200", "playlist.xml 200"}));
    plugin.quit();
}
