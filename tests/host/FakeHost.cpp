#include "FakeHost.h"

#include "platform/PlayerMessages.h"

namespace hosttest {

using namespace platform;

FakeHost::FakeHost() : menu0(createMenu()), menu3(createMenu())
{
    insertMenuItem(menu0.get(), 0, 40045, "Play");
    insertMenuItem(menu0.get(), 1, 40047, "Stop");
    insertMenuItem(menu0.get(), 2, 40001, "Exit");
    insertMenuItem(menu3.get(), 0, 40022, "Repeat");
    insertMenuItem(menu3.get(), 1, 40023, "Shuffle");
    main.reset(createWindow(&ownProc, this));
    setMessageBoxHook([this](HWND owner, const std::string& text, const std::string& caption, UINT type) {
        note("box " + caption + "|" + text + "|" + std::to_string(type) + "|" + (owner == window() ? "1" : "0"));
        return boxAnswer;
    });
}

FakeHost::~FakeHost()
{
    setMessageBoxHook({});
    // Its last message (WM_DESTROY) is noted while the list still exists.
    main.reset();
}

LRESULT FakeHost::ownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<FakeHost*>(getWindowUserData(hwnd));
    if (message == WM_WA_IPC) {
        if (lParam != IPC_GET_HMENU)
            return 0;  // a player with nothing to tell
        HMENU menu = wParam == 0 ? self->menu0.get() : wParam == 3 ? self->menu3.get() : nullptr;
        return reinterpret_cast<LRESULT>(menu);
    }
    if (message == WM_COMMAND) {
        self->note("WM_COMMAND " + std::to_string(loWord(wParam)) + "/" + std::to_string(hiWord(wParam)));
    } else if (message == WM_INITMENUPOPUP) {
        auto menu = reinterpret_cast<HMENU>(wParam);
        std::string which = menu == self->menu0.get() ? "0" : menu == self->menu3.get() ? "3" : "?";
        self->note("WM_INITMENUPOPUP " + which + " item=" + std::to_string(countOf(menu, itemId)));
    } else {
        self->note("message " + std::to_string(message));
    }
    return answer;
}

LRESULT FakeHost::openMenu(HMENU menu)
{
    return sendMessage(window(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
}

int FakeHost::positionOf(HMENU menu, UINT id)
{
    std::vector<MenuItem> items = getMenuItems(menu);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].id == id)
            return static_cast<int>(i);
    }
    return -1;
}

int FakeHost::countOf(HMENU menu, UINT id)
{
    int count = 0;
    for (const MenuItem& item : getMenuItems(menu))
        count += item.id == id ? 1 : 0;
    return count;
}

std::vector<std::string> FakeHost::events() const
{
    std::lock_guard guard(lock);
    return noted;
}

void FakeHost::clearEvents()
{
    std::lock_guard guard(lock);
    noted.clear();
}

void FakeHost::note(std::string event)
{
    std::lock_guard guard(lock);
    noted.push_back(std::move(event));
}

} // namespace hosttest
