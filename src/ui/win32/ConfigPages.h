#pragma once

#include "ui/win32/Dialog.h"

#include <mutex>

// The preferences dialog's five pages, each a frameless child dialog inside
// the main dialog's page frame. They keep the main dialog's window to send
// or post it messages; the main dialog fills and reads their controls.
// User-interface thread only.
namespace ui::win32 {

class ConfigPage : public Dialog {
public:
    ConfigPage(HINSTANCE module, HWND frame, WORD templateId, HWND mainDialog)
        : Dialog(module, frame, templateId), mainDialog(mainDialog)
    {
    }

protected:
    HWND mainDialog;
};

/// Address, port, auto-start and time-out; Start and Stop post CM_START and
/// CM_STOP.
class ConfigServerDialog final : public ConfigPage {
public:
    ConfigServerDialog(HINSTANCE module, HWND frame, HWND mainDialog);

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

/// Password and address filters. Its two check boxes toggle here, then the
/// page sends CM_SAVE and CM_REFRESH, so the change is saved at once and the
/// edits that depend on it follow.
class ConfigSecurityDialog final : public ConfigPage {
public:
    ConfigSecurityDialog(HINSTANCE module, HWND frame, HWND mainDialog);

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

/// The server's connections: client address and last request, the last
/// published first. Sends CM_ACTIVITY_ATTACH once made.
class ConfigActivityDialog final : public ConfigPage {
public:
    ConfigActivityDialog(HINSTANCE module, HWND frame, HWND mainDialog);

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::mutex lock;  // guards the list's rows while they are replaced
};

/// The media library switch, the index status and the shared directories
/// (added with the folder browser, removed by selection); Reindex sends
/// CM_REINDEX. Changes reach the settings at the next read of the controls.
class ConfigLibraryDialog final : public ConfigPage {
public:
    ConfigLibraryDialog(HINSTANCE module, HWND frame, HWND mainDialog);

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void addDirectory();
    void removeDirectories();
};

/// Name and version, the picture and three lines.
class ConfigAboutDialog final : public ConfigPage {
public:
    ConfigAboutDialog(HINSTANCE module, HWND frame, HWND mainDialog);

protected:
    bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace ui::win32
