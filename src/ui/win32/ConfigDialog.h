#pragma once

#include "ui/win32/Dialog.h"

#include <array>
#include <memory>
#include <mutex>

namespace ui::win32 {

class DialogServices;

/// The preferences dialog, "Tunelet Configuration" (template 3002): the page
/// list (3011) selects one of five pages (Server, Security, Activity,
/// Library, About) shown in the frame (3015).
///
/// The settings are copied from the controls and saved (`readControls`) on
/// Start, Stop, Reindex, a click on a Security check box, OK and closing;
/// closing always applies (there is no cancel): the server gets the new
/// settings and, when it runs, listens anew on them. A port, time-out or
/// address that is not one keeps the value the settings had; the Server
/// page says why, and OK then stays on that page instead of closing.
///
/// Threads: made, run and destroyed on the user-interface thread; the
/// server's and the indexer's threads only post to its window (through
/// `services`, borrowed, which must outlive it).
class ConfigDialog final : public Dialog {
public:
    /// Initialises the common controls (saying so in a message box when it
    /// fails, then going on) and the component library for this thread.
    ConfigDialog(HINSTANCE module, HWND owner, DialogServices& services);
    ~ConfigDialog() override;

    /// Modal over the owner, until OK or close.
    INT_PTR run();

    void fillControls();
    /// Copies the controls to the settings and saves; false when a field was
    /// not taken (its message then shows on the Server page).
    bool readControls();

    int currentPage() const { return current; }
    /// The window of page `index` (0 Server .. 4 About); null if not made.
    HWND page(int index) const;

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void createPages();
    void showPage(int index);
    /// Selects entry `index` of the page list, which shows its page.
    void selectEntry(int index);
    void closeAsOk();
    void reindex();
    void showIndexStatus();
    HWND pageControl(int index, int id) const;

    DialogServices& services;
    std::array<std::unique_ptr<Dialog>, 5> pages;
    int current = 0;
    bool modal = false;
    bool closing = false;
    bool componentsReady = false;
    std::mutex lock;  // guards the copying between controls and settings, and the status text
};

} // namespace ui::win32
