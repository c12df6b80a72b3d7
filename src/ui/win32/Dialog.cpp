#include "ui/win32/Dialog.h"

namespace ui::win32 {

Dialog::Dialog(HINSTANCE module, HWND parent, WORD templateId)
    : module(module), parent(parent), templateId(templateId)
{
}

Dialog::~Dialog()
{
    if (hwnd) {
        // A window that outlives its object must not reach it any more.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        DestroyWindow(hwnd);
    }
}

INT_PTR Dialog::runModal()
{
    return DialogBoxParamW(module, MAKEINTRESOURCEW(templateId), parent, &Dialog::windowProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND Dialog::create()
{
    return CreateDialogParamW(module, MAKEINTRESOURCEW(templateId), parent, &Dialog::windowProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* object = reinterpret_cast<Dialog*>(lParam);
        object->hwnd = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    }
    auto* object = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!object)
        return FALSE;
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->hwnd = nullptr;
        return FALSE;
    }
    return object->dialogProc(window, message, wParam, lParam) ? TRUE : FALSE;
}

} // namespace ui::win32
