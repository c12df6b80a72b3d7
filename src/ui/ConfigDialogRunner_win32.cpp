// The preferences dialog on Windows: the Win32 dialog over the host's active
// window, made from this module's own resources.
#include "ui/ConfigDialogRunner.h"

#include "ui/win32/ConfigDialog.h"
#include "ui/win32/ServerDialogServices.h"

namespace ui {

namespace {

/// The module (plug-in DLL or program) this code and its resources are in.
HINSTANCE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

} // namespace

bool runConfigDialog(host::Settings& settings, webapp::TuneletServer& server, webapp::WebApplication& webApplication)
{
    // The host's window keeps serving its messages while the dialog is open,
    // and one of them may be the menu command that opens it.
    static win32::ConfigDialog* open = nullptr;
    if (open) {
        if (HWND window = open->window())
            SetForegroundWindow(window);
        return true;
    }
    win32::ServerDialogServices services(settings, server, webApplication);
    win32::ConfigDialog dialog(thisModule(), GetActiveWindow(), services);
    open = &dialog;
    const INT_PTR ended = dialog.run();
    open = nullptr;
    return ended != -1;
}

} // namespace ui
