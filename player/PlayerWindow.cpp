#include "player/PlayerWindow.h"

#include "platform/PlayerMessages.h"

namespace player {

using namespace platform;

PlayerWindow::PlayerWindow(PlayerRequests& requests)
    : requests(requests), mainMenu(createMenu()), optionsMenu(createMenu())
{
    onClose = [] { postQuitMessage(0); };

    int at = 0;
    for (auto [id, text] : {std::pair{WINAMP_BUTTON2, "Play"}, {WINAMP_BUTTON3, "Pause"},
                            {WINAMP_BUTTON4, "Stop"}, {WINAMP_BUTTON1, "Previous"},
                            {WINAMP_BUTTON5, "Next"}, {PLAYER_COMMAND_EXIT, "Exit"}})
        insertMenuItem(mainMenu.get(), at++, static_cast<UINT>(id), text);
    insertMenuItem(optionsMenu.get(), 0, WINAMP_FILE_REPEAT, "Repeat");
    insertMenuItem(optionsMenu.get(), 1, WINAMP_FILE_SHUFFLE, "Shuffle");

    main.reset(createWindow(mainProc, this));
    editor.reset(createWindow(editorProc, this));
    requests.setPlaylistWindow(editor.get());
    requests.setMenus(mainMenu.get(), optionsMenu.get());
}

PlayerWindow::~PlayerWindow()
{
    requests.setPlaylistWindow(nullptr);
    requests.setMenus(nullptr, nullptr);
}

HMENU PlayerWindow::menu(int which) const
{
    if (which == 0)
        return mainMenu.get();
    return which == 3 ? optionsMenu.get() : nullptr;
}

std::vector<MenuItem> PlayerWindow::openMenu(int which)
{
    HMENU shown = menu(which);
    if (!shown)
        return {};
    // lParam: the menu's place in its parent (low word); not a window menu.
    sendMessage(main.get(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(shown), which);
    return getMenuItems(shown);
}

void PlayerWindow::chooseMenuItem(UINT id)
{
    sendMessage(main.get(), WM_COMMAND, makeLong(id, 0), 0);
}

bool PlayerWindow::restoreMainProcedure()
{
    if (!main || getWindowProc(main.get()) == mainProc)
        return false;
    setWindowProc(main.get(), mainProc);
    return true;
}

void PlayerWindow::close()
{
    if (onClose)
        onClose();
}

LRESULT PLATFORM_CALLBACK PlayerWindow::mainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<PlayerWindow*>(getWindowUserData(hwnd));
    if (!self)
        return defWindowProc(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_WA_IPC:
        return self->requests.mainRequest(static_cast<int>(lParam), wParam);
    case WM_COMMAND:
        if (loWord(wParam) == PLAYER_COMMAND_EXIT) {
            self->close();
            return 0;
        }
        self->requests.command(static_cast<int>(loWord(wParam)));
        return 0;
    case WM_CLOSE:
        self->close();
        return 0;
    case WM_PLAYBACK_NEWS:
        self->requests.playbackNews();
        return 0;
    case WM_PLAYER_STATE_CHECK:
        if (self->onStateCheck)
            self->onStateCheck();
        return 0;
    }
    return defWindowProc(hwnd, message, wParam, lParam);
}

LRESULT PLATFORM_CALLBACK PlayerWindow::editorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<PlayerWindow*>(getWindowUserData(hwnd));
    if (self && message == WM_WA_IPC)
        return self->requests.editorRequest(static_cast<int>(wParam), lParam);
    return defWindowProc(hwnd, message, wParam, lParam);
}

} // namespace player
