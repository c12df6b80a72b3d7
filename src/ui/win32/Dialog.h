#pragma once

#include <windows.h>

namespace ui::win32 {

/// Base of the preferences dialog and its pages: a dialog made from a
/// template of `module`'s resources. One window procedure serves them all:
/// at WM_INITDIALOG it keeps the object (the creation parameter) in the
/// window's user data, and from then on hands every message to the object's
/// `dialogProc`; before that, and after WM_NCDESTROY, messages go unhandled.
/// The object must outlive its window. User-interface thread only.
class Dialog {
public:
    Dialog(HINSTANCE module, HWND parent, WORD templateId);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    /// Runs the dialog modally over `parent`; returns once it ends, with the
    /// value given to EndDialog, or -1 when it could not be made.
    INT_PTR runModal();
    /// Makes the window (a child of `parent` for a page, a modeless dialog
    /// otherwise) and returns it; null when it could not be made.
    HWND create();

    HWND window() const { return hwnd; }
    HWND control(int id) const { return GetDlgItem(hwnd, id); }

protected:
    /// Whether `message` was handled; its result, when it needs one, goes in
    /// DWLP_MSGRESULT.
    virtual bool dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    HINSTANCE module;
    HWND parent;
    WORD templateId;

private:
    static INT_PTR CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd = nullptr;
};

} // namespace ui::win32
