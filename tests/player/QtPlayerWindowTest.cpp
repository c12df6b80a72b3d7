// The player's window on Qt's offscreen platform, in-process: its menus are
// the player's menus as a plug-in leaves them, its controls drive the player
// through the main window, its playlist shows the current entry.
#include "platform/PlayerMessages.h"
#include "platform/Menu.h"
#include "platform/Window.h"
#include "player/Player.h"
#include "player/QtPlayerWindow.h"
#include "PlayerTestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSlider>

#include <cstdlib>
#include <sstream>
#include <vector>

using namespace player;
using namespace platform;

namespace {

constexpr UINT preferencesId = 0x5151;

/// What a plug-in does to the main window: re-inserts its item into menu 0
/// whenever a menu opens, and counts the item's commands.
struct PluginSubclass {
    static inline WindowProc previous = nullptr;
    static inline int commands = 0;
    static LRESULT proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_COMMAND && wParam == preferencesId)
            ++commands;
        if (message != WM_INITMENUPOPUP)
            return callWindowProc(previous, hwnd, message, wParam, lParam);
        auto menu0 = reinterpret_cast<HMENU>(sendMessage(hwnd, WM_WA_IPC, 0, IPC_GET_HMENU));
        deleteMenuItem(menu0, preferencesId);
        callWindowProc(previous, hwnd, message, wParam, lParam);
        if (reinterpret_cast<HMENU>(wParam) == menu0)
            insertMenuItem(menu0, 1, preferencesId, "Tunelet Preferences...");
        return 0;
    }
};

class QtPlayerWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        static QApplication app(argc, argv);
    }

    std::vector<QString> texts(QMenu* menu)
    {
        std::vector<QString> all;
        for (QAction* action : menu->actions())
            all.push_back(action->text());
        return all;
    }
    template <typename T>
    T* control(const char* name)
    {
        T* found = window.findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    test::ManualClock clock;
    std::ostringstream log;
    Player host{clock, 5, log, [](const std::string&) { return TrackTags{}; }};
    QtPlayerWindow window{host};
};

} // namespace

TEST_F(QtPlayerWindowTest, MenusShowTheItemsAPluginPutsThereAndChoosingOneSendsItsCommand)
{
    PluginSubclass::previous = setWindowProc(host.mainWindow(), PluginSubclass::proc);
    for (int opening = 0; opening < 2; ++opening)
        EXPECT_EQ(texts(window.rebuildMenu(0)),
                  (std::vector<QString>{"Play", "Tunelet Preferences...", "Pause", "Stop", "Previous", "Next", "Exit"}));
    EXPECT_EQ(texts(window.rebuildMenu(3)), (std::vector<QString>{"Repeat", "Shuffle"}));

    QMenu* menu0 = window.rebuildMenu(0);
    menu0->actions().at(1)->trigger();
    EXPECT_EQ(PluginSubclass::commands, 1);
    window.rebuildMenu(3)->actions().at(1)->trigger();  // the player's own: Shuffle
    EXPECT_TRUE(host.model().shuffle());
    EXPECT_TRUE(control<QCheckBox>("shuffle")->isChecked());
    setWindowProc(host.mainWindow(), PluginSubclass::previous);
}

TEST_F(QtPlayerWindowTest, ControlsDriveThePlayerAndThePlaylistMarksTheCurrentEntry)
{
    for (const char* title : {"One", "Two", "Three"})
        host.model().append(PlaylistEntry{std::string("/music/") + title + ".mp3", title, 60000});
    window.refresh();
    QListWidget* list = window.playlistView();
    ASSERT_EQ(list->count(), 3);

    control<QPushButton>("play")->click();
    EXPECT_EQ(host.model().state(), PlayState::playing);
    control<QPushButton>("next")->click();
    EXPECT_EQ(host.model().position(), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(list->item(i)->font().bold(), i == 1) << i;
    EXPECT_TRUE(list->item(1)->text().endsWith("Two"));
    control<QPushButton>("pause")->click();
    EXPECT_EQ(host.model().state(), PlayState::paused);

    control<QSlider>("volume")->setValue(100);
    EXPECT_EQ(host.model().volume(), 100);
    // A change made elsewhere (a browser's command) shows after a refresh.
    sendMessage(host.mainWindow(), WM_WA_IPC, 200, IPC_SETVOLUME);
    host.model().setPosition(2);
    window.refresh();
    EXPECT_EQ(control<QSlider>("volume")->value(), 200);
    EXPECT_TRUE(list->item(2)->font().bold());
    EXPECT_FALSE(list->item(1)->font().bold());
}

TEST_F(QtPlayerWindowTest, ClosingTheWindowClosesThePlayer)
{
    int closes = 0;
    host.window().onClose = [&] { ++closes; };
    window.show();
    window.close();
    EXPECT_EQ(closes, 1);
}
