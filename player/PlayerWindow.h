#pragma once

#include "platform/Menu.h"
#include "platform/Window.h"
#include "player/PlayerRequests.h"

#include <functional>
#include <vector>

namespace player {

/// The player's two windows (main window and playlist editor) and its menus
/// 0 and 3, created on the calling thread, which then becomes the player's
/// window thread: it must run the message loop (or serve messages) for
/// requests from other threads to be answered.
///
/// The main window answers WM_WA_IPC (request in lParam), WM_COMMAND and
/// WM_CLOSE; the playlist editor answers WM_WA_IPC (request in wParam).
class PlayerWindow {
public:
    explicit PlayerWindow(PlayerRequests& requests);
    ~PlayerWindow();
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    platform::HWND mainWindow() const { return main.get(); }
    platform::HWND playlistWindow() const { return editor.get(); }
    /// Menu 0 (the main pop-up menu) or 3; null for other numbers.
    platform::HMENU menu(int which) const;

    /// What the host does before it shows menu `which`: sends the main window
    /// WM_INITMENUPOPUP with the menu, then returns the items as they stand.
    /// Call on the window thread.
    std::vector<platform::MenuItem> openMenu(int which);
    /// What the host does when menu item `id` is chosen: sends WM_COMMAND.
    void chooseMenuItem(platform::UINT id);

    /// Puts the main window's own procedure back when another one is installed
    /// (a plug-in that did not undo its subclass); true when it had to.
    bool restoreMainProcedure();

    /// Runs on WM_CLOSE (and the Exit command); the default ends the window
    /// thread's message loop with status 0.
    std::function<void()> onClose;
    /// Runs on WM_PLAYER_STATE_CHECK (posted by the state keeper's clock).
    std::function<void()> onStateCheck;

private:
    static platform::LRESULT PLATFORM_CALLBACK mainProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
    static platform::LRESULT PLATFORM_CALLBACK editorProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);
    void close();

    PlayerRequests& requests;
    platform::UniqueMenu mainMenu;
    platform::UniqueMenu optionsMenu;
    platform::UniqueWindow main;
    platform::UniqueWindow editor;
};

} // namespace player
