#pragma once

#include <QMainWindow>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

namespace player {

class Player;

/// The player's window on a display: the playlist with the current entry
/// marked, the transport buttons, volume and seek, shuffle and repeat, and a
/// menu bar showing the player's menus 0 and 3 as they stand when opened (the
/// plug-ins edit them on WM_INITMENUPOPUP). Everything it does goes to the
/// player's main window as the messages a plug-in would send; it reads the
/// model only on its own thread, which must be the player's window thread
/// (the Qt thread, with the platform's queue pumped by QtMessagePump), and
/// refreshes on a timer (every 50 ms, as the web remote's watcher reads the
/// player) and after each of its own actions.
///
/// Closing it (the window manager's close) sends the main window WM_CLOSE:
/// the player quits as it does on that message.
class QtPlayerWindow : public QMainWindow {
public:
    explicit QtPlayerWindow(Player& player);
    ~QtPlayerWindow() override;

    /// Rebuilds menu `which` (0 or 3) from the player's menu: what happens
    /// when the menu is about to show. Returns the Qt menu.
    QMenu* rebuildMenu(int which);
    /// Reads the model and updates every control that differs.
    void refresh();

    /// The controls, named for tests.
    QListWidget* playlistView() const { return playlist; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void command(int id);
    void request(int ipc, std::uintptr_t argument);
    void refreshPlaylist();

    Player& player;
    QMenu* menus[2] = {};
    QLabel* nowPlaying = nullptr;
    QLabel* time = nullptr;
    QSlider* seek = nullptr;
    QSlider* volume = nullptr;
    QCheckBox* shuffle = nullptr;
    QCheckBox* repeat = nullptr;
    QListWidget* playlist = nullptr;
    QTimer* timer = nullptr;

    struct Shown {
        std::uint64_t serial;
        std::string title;
        bool operator==(const Shown&) const = default;
    };
    std::vector<Shown> shownEntries;
    std::uint64_t shownRevision = ~std::uint64_t{0};
    int shownCurrent = -1;
    int shownState = -1;
};

} // namespace player
