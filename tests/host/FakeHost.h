#pragma once

#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"

#include <mutex>
#include <string>
#include <vector>

namespace hosttest {

/// A platform window playing the host player's main window, for lifecycle
/// tests on the calling thread: it answers IPC_GET_HMENU with its menus 0
/// and 3 and every other player request (WM_WA_IPC) with 0, and notes every
/// other message it receives (answering 77), together with message boxes
/// shown meanwhile, in one event list.
class FakeHost {
public:
    static constexpr platform::LRESULT answer = 77;
    static constexpr platform::UINT itemId = 20817;

    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    platform::HWND window() const { return main.get(); }
    platform::HMENU menu(int which) const { return which == 0 ? menu0.get() : menu3.get(); }
    static platform::LRESULT ownProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM);

    /// What the host does before it shows a menu: WM_INITMENUPOPUP with it.
    platform::LRESULT openMenu(platform::HMENU menu);
    /// Where item `id` stands in `menu`, and how often it occurs.
    static int positionOf(platform::HMENU menu, platform::UINT id);
    static int countOf(platform::HMENU menu, platform::UINT id);

    /// Message boxes answer `boxAnswer` and are noted as
    /// "box <caption>|<text>|<type>|<owned by the host: 1 or 0>".
    int boxAnswer = platform::IDOK;

    /// "WM_COMMAND <low>/<high>", "WM_INITMENUPOPUP <menu 0|3|?> item=<0|1>"
    /// (whether the plug-in's item was in the menu as it reached the host),
    /// "message <number>", and the boxes.
    std::vector<std::string> events() const;
    void clearEvents();

private:
    void note(std::string event);

    platform::UniqueMenu menu0;
    platform::UniqueMenu menu3;
    platform::UniqueWindow main;
    mutable std::mutex lock;
    std::vector<std::string> noted;
};

} // namespace hosttest
