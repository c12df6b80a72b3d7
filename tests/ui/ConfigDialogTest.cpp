// The preferences dialog against the running plug-in: its pages, the
// moments it saves, the server's restart on new settings, the index status
// and the connections it shows.
#include "DialogFixture.h"
#include "host/TempDirectory.h"
#include "http/support/RawClient.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"
#include "threading/Callback.h"
#include "ui/ConfigActivityDialog.h"
#include "ui/ConfigDialog.h"
#include "ui/ConfigLibraryDialog.h"
#include "ui/ConfigSecurityDialog.h"
#include "ui/ConfigServerDialog.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>

using hosttest::TempDirectory;
using testing_support::RawClient;

namespace {

using uitest::eventually;
using uitest::freePort;

class ConfigDialogTest : public uitest::DialogFixture {
protected:
    void click(int id) { control<QAbstractButton>(id)->click(); }
    /// Changes the port, closes with `closeIt`, and checks the server
    /// answers on the new port only.
    void closeWithNewPort(const std::function<void()>& closeIt);
    void choosePage(int row)
    {
        QListWidget* list = dialog->pageList();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
};

} // namespace

TEST_F(ConfigDialogTest, PagesControlsAndTexts)
{
    EXPECT_EQ(dialog->windowTitle(), "Tunelet Configuration");
    QListWidget* list = dialog->pageList();
    ASSERT_EQ(list->count(), 5);
    const char* entries[] = {"Server", "Security", "Activity", "Library", "About"};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(list->item(row)->text(), entries[row]);
        EXPECT_FALSE(list->item(row)->icon().isNull());
    }

    const struct {
        int id;
        const char* text;
    } buttons[] = {
        {1, "OK"}, {3017, "Automatically Start Server"}, {3020, "Start"}, {3021, "Stop"},
        {3031, "Require Authentication"}, {3027, "Filter IP Addresses"}, {3036, "Enable Media Library"},
        {3041, "Reindex"}, {3037, "Add Directory"}, {3038, "Remove Directory"},
    };
    for (const auto& button : buttons)
        EXPECT_EQ(control<QAbstractButton>(button.id)->text(), button.text) << button.id;
    for (int id : {3022, 3019, 3018, 3033, 3024})
        control<QLineEdit>(id);
    for (int id : {3028, 3030})
        control<QPlainTextEdit>(id);
    EXPECT_EQ(control<QLineEdit>(3024)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(control<QLabel>(3023)->text(), "Tunelet Remote Control Plugin v3.1");
    EXPECT_FALSE(control<QLabel>(3040)->pixmap().isNull());
    QTreeWidget* activity = control<QTreeWidget>(3039);
    EXPECT_EQ(activity->headerItem()->text(0), "Client Address");
    EXPECT_EQ(activity->headerItem()->text(1), "Last Request");

    // The Server page first; a click on an entry shows its page alone.
    EXPECT_EQ(dialog->currentPage(), 0);
    EXPECT_TRUE(control<QLineEdit>(3019)->isVisible());
    EXPECT_EQ(control<QLineEdit>(3019)->text(), QString::number(port));
    choosePage(3);
    EXPECT_EQ(dialog->currentPage(), 3);
    EXPECT_TRUE(control<QListWidget>(3035)->isVisible());
    EXPECT_FALSE(control<QLineEdit>(3019)->isVisible());
    choosePage(1);
    EXPECT_TRUE(control<QCheckBox>(3031)->isVisible());
    EXPECT_FALSE(control<QListWidget>(3035)->isVisible());
}

TEST_F(ConfigDialogTest, SecurityCheckBoxesSaveAtOnceAndEnableTheirEdits)
{
    choosePage(1);
    const struct {
        int box;
        std::vector<int> edits;
        bool host::SettingsData::*field;
    } boxes[] = {
        {3031, {3033, 3024}, &host::SettingsData::requirePassword},
        {3027, {3028, 3030}, &host::SettingsData::filterIPs},
    };
    control<QLineEdit>(3033)->setText("someone");  // saved along with the box
    for (const auto& box : boxes) {
        for (bool ticked : {true, false}) {
            click(box.box);
            EXPECT_EQ(saved().*box.field, ticked) << box.box;
            for (int edit : box.edits)
                EXPECT_EQ(control<QWidget>(edit)->isEnabled(), ticked) << edit;
        }
    }
    EXPECT_EQ(saved().username, "someone");
}

TEST_F(ConfigDialogTest, AllowedHostNamesAreSavedAndServedAfterOk)
{
    choosePage(1);
    control<QLineEdit>(3043)->setText("music.home den.lan");
    dialog->send(ui::CM_SAVE);
    EXPECT_EQ(saved().allowedHosts, "music.home den.lan");
    click(1);
    EXPECT_TRUE(eventually([&] { return !dialog->isVisible(); }));
    // The listener restarts on the same port.
    EXPECT_TRUE(eventually([&] {
        RawClient client(port);
        return client.send("GET /playlist.css HTTP/1.1\r\nHost: den.lan\r\n\r\n") && client.readAnswer().status == 200;
    }));
}

TEST_F(ConfigDialogTest, ReadersNeverSeeHalfASave)
{
    // Each save gives user name and password the same text; a reader on
    // another thread must always find them equal.
    host::Settings& settings = *plugin.getSettings();
    std::atomic<bool> saving{true};
    std::atomic<int> mixed{0};
    std::thread reader([&] {
        while (saving) {
            const host::SettingsData values = settings.snapshot();
            if (values.username != values.password)
                ++mixed;
        }
    });
    for (int i = 0; i < 60; ++i) {
        const QString text = QString(i % 2 ? "odd" : "even").repeated(1 + i % 7);
        control<QLineEdit>(3033)->setText(text);
        control<QLineEdit>(3024)->setText(text);
        dialog->send(ui::CM_SAVE);
    }
    saving = false;
    reader.join();
    EXPECT_EQ(mixed.load(), 0);
}

TEST_F(ConfigDialogTest, StartAndStopFollowTheServer)
{
    QAbstractButton* start = control<QAbstractButton>(3020);
    QAbstractButton* stop = control<QAbstractButton>(3021);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_TRUE(stop->isEnabled());

    click(3021);
    EXPECT_TRUE(eventually([&] { return server().threadId() == 0 && start->isEnabled(); }));
    EXPECT_FALSE(stop->isEnabled());

    click(3020);
    EXPECT_TRUE(eventually([&] { return server().listeningPort() == port && stop->isEnabled(); }));
    EXPECT_FALSE(start->isEnabled());
}

TEST_F(ConfigDialogTest, TheStatusBoxSaysWhatTheServerDoes)
{
    QLabel* status = dialog->findChild<QLabel*>("serverStatus");
    ASSERT_NE(status, nullptr);
    const QString where = QString("0.0.0.0:%1").arg(port);
    EXPECT_TRUE(eventually([&] { return status->text() == "running on " + where; })) << status->text().toStdString();

    click(3021);
    EXPECT_TRUE(eventually([&] { return status->text() == "stopped"; })) << status->text().toStdString();

    // Another socket takes the port meanwhile: the start fails and says why.
    platform::UniqueFd taker = platform::listenTcp(0, port);
    ASSERT_TRUE(taker);
    click(3020);
    EXPECT_TRUE(eventually([&] { return status->text() == "cannot listen on " + where + ": address in use"; }))
        << status->text().toStdString();
    EXPECT_TRUE(eventually([&] { return control<QAbstractButton>(3020)->isEnabled(); }));
}

void ConfigDialogTest::closeWithNewPort(const std::function<void()>& closeIt)
{
    const std::uint16_t oldPort = port;
    const std::uint16_t newPort = freePort();
    control<QLineEdit>(3019)->setText(QString::number(newPort));
    closeIt();
    EXPECT_TRUE(eventually([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(saved().listenPort, newPort);
    ASSERT_TRUE(eventually([&] { return server().listeningPort() == newPort; }));
    EXPECT_NE(server().threadId(), 0u);

    RawClient client(newPort);
    ASSERT_TRUE(client.send("GET /nothing-here HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    EXPECT_NE(client.readAnswer().status, 0);
    EXPECT_FALSE(RawClient(oldPort).isConnected());
}

TEST_F(ConfigDialogTest, OkSavesAndRestartsOnTheNewPort)
{
    closeWithNewPort([&] { click(1); });
}

TEST_F(ConfigDialogTest, TheCloseBoxBehavesLikeOk)
{
    closeWithNewPort([&] { dialog->close(); });
}

TEST_F(ConfigDialogTest, TextThatIsNoNumberKeepsTheOldValueAndSaysWhy)
{
    const struct {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {3019, "70000", "portMessage"}, {3019, "abc", "portMessage"}, {3019, "0", "portMessage"},
        {3018, "ten", "timeoutMessage"}, {3022, "300.1.1.1", "addressMessage"},
    };
    const host::SettingsData before = saved();
    for (const auto& c : cases) {
        control<QLineEdit>(c.id)->setText(c.text);
        click(1);
        QLabel* message = dialog->findChild<QLabel*>(c.message);
        ASSERT_NE(message, nullptr);
        EXPECT_TRUE(message->isVisible()) << c.text;
        EXPECT_TRUE(dialog->isVisible()) << "stays open to be corrected";
        const host::SettingsData after = saved();
        EXPECT_EQ(after.listenPort, before.listenPort);
        EXPECT_EQ(after.timeout, before.timeout);
        EXPECT_EQ(after.listenIP, before.listenIP);
        dialog->send(ui::CM_REFRESH);  // puts the kept values back
    }
    click(1);
    EXPECT_TRUE(eventually([&] { return !dialog->isVisible(); }));
    EXPECT_FALSE(dialog->findChild<QLabel*>("portMessage")->isVisible());
}

TEST_F(ConfigDialogTest, DirectoriesSortedCaseBlindAndStoredWithoutTrailingSeparators)
{
    choosePage(3);
    ui::ConfigLibraryDialog& page = dialog->libraryPage();
    std::deque<QString> chosen{"/srv/b/", "/srv/A", "", "///", "/srv/c//", "/srv/B2"};
    page.chooseFolder = [&] {
        QString next = chosen.front();
        chosen.pop_front();
        return next;
    };
    for (int i = 0; i < 6; ++i)
        click(3037);  // the empty answer (a cancelled choice) adds nothing
    EXPECT_EQ(page.directories(), (std::vector<std::string>{"///", "/srv/A", "/srv/b/", "/srv/B2", "/srv/c//"}));

    QListWidget* list = control<QListWidget>(3035);
    for (int row : {1, 3})
        list->item(row)->setSelected(true);
    click(3038);
    EXPECT_EQ(page.directories(), (std::vector<std::string>{"///", "/srv/b/", "/srv/c//"}));

    dialog->send(ui::CM_SAVE);
    EXPECT_EQ(saved().sharedDirs, (std::vector<std::string>{"/", "/srv/b", "/srv/c"}));
}

TEST_F(ConfigDialogTest, ActivityListsTheConnectionsNewestFirst)
{
    choosePage(2);
    QTreeWidget* rows = control<QTreeWidget>(3039);
    RawClient first(port);
    ASSERT_TRUE(first.send("GET /first HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    first.readAnswer();
    RawClient second(port);
    ASSERT_TRUE(second.send("GET /second HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    second.readAnswer();

    const auto address = [](const RawClient& client) {
        return QString("127.0.0.1:%1").arg(client.localPort());
    };
    ASSERT_TRUE(eventually([&] { return rows->topLevelItemCount() == 2 && rows->topLevelItem(0)->text(1) == "/second"; }));
    EXPECT_EQ(rows->topLevelItem(0)->text(0), address(second));
    EXPECT_EQ(rows->topLevelItem(1)->text(0), address(first));
    EXPECT_EQ(rows->topLevelItem(1)->text(1), "/first");

    // A client listed twice is one row, with what it asked for last.
    dialog->activityPage().showActivity({{"10.0.0.1:5000", "/a"}, {"10.0.0.2:6000", "/b"}, {"10.0.0.1:5000", "/c"}});
    ASSERT_EQ(rows->topLevelItemCount(), 2);
    EXPECT_EQ(rows->topLevelItem(0)->text(0) + rows->topLevelItem(0)->text(1), "10.0.0.1:5000/c");
    EXPECT_EQ(rows->topLevelItem(1)->text(0) + rows->topLevelItem(1)->text(1), "10.0.0.2:6000/b");
}

namespace {

/// Holds the indexer at its first progress report until released, so the
/// dialog can be watched during a rebuild. Observes from construction until
/// the rebuild has ended.
class ProgressGate {
public:
    explicit ProgressGate(library::Indexer& indexer) : indexer(indexer) { indexer.onProgress.add(&callback); }
    ~ProgressGate()
    {
        release.set();
        if (auto handle = indexer.threadHandle())
            handle->event().wait();
        indexer.onProgress.remove(&callback);
    }
    std::intptr_t reached(threading::CallbackArgument)
    {
        if (!held.exchange(true))
            release.wait();
        return 0;
    }

    library::Indexer& indexer;
    threading::Callback<ProgressGate> callback{this, &ProgressGate::reached};
    platform::Event release;
    std::atomic<bool> held{false};
};

} // namespace

TEST_F(ConfigDialogTest, ReindexShowsProgressThenTheReport)
{
    const std::string music = dir.path("music");
    std::filesystem::create_directories(music);
    for (int i = 0; i < 25; ++i)
        TempDirectory::writeText(music + "/track" + std::to_string(i) + ".mp3", "");
    choosePage(3);
    dialog->libraryPage().addDirectory(QString::fromStdString(music + "/"));

    library::Indexer& indexer = plugin.getWebApplication()->library->indexer();
    ProgressGate gate(indexer);  // after the dialog's own observer
    QLabel* status = control<QLabel>(3042);
    click(3041);
    EXPECT_EQ(saved().sharedDirs, std::vector<std::string>{music});

    EXPECT_TRUE(eventually([&] { return status->text().startsWith(QString::fromStdString(music + "/track")); }));
    EXPECT_FALSE(control<QWidget>(3041)->isVisible());
    // A report needs a rebuild of at least one whole second.
    EXPECT_TRUE(eventually([&] { return std::time(nullptr) > indexer.startTime(); }));
    gate.release.set();

    EXPECT_TRUE(eventually([&] { return status->text().startsWith("Last index of 25 files took \n"); }))
        << status->text().toStdString();
    EXPECT_TRUE(status->text().endsWith(" seconds"));
    EXPECT_TRUE(control<QWidget>(3041)->isVisible());
}
