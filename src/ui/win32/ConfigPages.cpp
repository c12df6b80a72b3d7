#include "ui/win32/ConfigPages.h"

#include "http/Server.h"
#include "ui/win32/DialogResources.h"
#include "ui/win32/DialogServices.h"
#include "ui/win32/WindowText.h"

#include <commctrl.h>
#include <shlobj.h>

#include <array>
#include <memory>

namespace ui::win32 {

namespace {

bool clicked(UINT message, WPARAM wParam, int id)
{
    return message == WM_COMMAND && LOWORD(wParam) == id && HIWORD(wParam) == BN_CLICKED;
}

} // namespace

ConfigServerDialog::ConfigServerDialog(HINSTANCE module, HWND frame, HWND mainDialog)
    : ConfigPage(module, frame, IDD_SERVER, mainDialog)
{
}

bool ConfigServerDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (clicked(message, wParam, IDC_START))
        return PostMessageW(mainDialog, CM_START, 0, 0), true;
    if (clicked(message, wParam, IDC_STOP))
        return PostMessageW(mainDialog, CM_STOP, 0, 0), true;
    return message == WM_INITDIALOG;
}

ConfigSecurityDialog::ConfigSecurityDialog(HINSTANCE module, HWND frame, HWND mainDialog)
    : ConfigPage(module, frame, IDD_SECURITY, mainDialog)
{
}

bool ConfigSecurityDialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    for (const int box : {IDC_REQUIRE_PASSWORD, IDC_FILTER_IPS}) {
        if (!clicked(message, wParam, box))
            continue;
        const bool ticked = IsDlgButtonChecked(window, box) == BST_CHECKED;
        CheckDlgButton(window, box, ticked ? BST_UNCHECKED : BST_CHECKED);
        SendMessageW(mainDialog, CM_SAVE, 0, 0);
        SendMessageW(mainDialog, CM_REFRESH, 0, 0);
        return true;
    }
    return message == WM_INITDIALOG;
}

ConfigActivityDialog::ConfigActivityDialog(HINSTANCE module, HWND frame, HWND mainDialog)
    : ConfigPage(module, frame, IDD_ACTIVITY, mainDialog)
{
}

bool ConfigActivityDialog::dialogProc(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    HWND list = GetDlgItem(window, IDC_ACTIVITY_LIST);
    if (message == WM_INITDIALOG) {
        const int addressWidth =
            static_cast<int>(SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(L"255.255.255.255:00000"))) +
            10;
        RECT client{};
        GetClientRect(list, &client);
        std::array<wchar_t, 16> address{L"Client Address"};
        std::array<wchar_t, 16> request{L"Last Request"};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = addressWidth;
        column.pszText = address.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
        column.cx = client.right - addressWidth;
        column.pszText = request.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
        SendMessageW(mainDialog, CM_ACTIVITY_ATTACH, 0, 0);
        return true;
    }
    if (message != activityPublished)
        return false;
    const std::unique_ptr<http::ActivityList> pairs(reinterpret_cast<http::ActivityList*>(lParam));
    const std::lock_guard guard(lock);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (const auto& [client, lastRequest] : *pairs) {
        std::wstring address = wide(client);
        std::wstring request = wide(lastRequest);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.pszText = address.data();
        const auto row = SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        item.iSubItem = 1;
        item.pszText = request.data();
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    return true;
}

ConfigLibraryDialog::ConfigLibraryDialog(HINSTANCE module, HWND frame, HWND mainDialog)
    : ConfigPage(module, frame, IDD_LIBRARY, mainDialog)
{
}

bool ConfigLibraryDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM)
{
    if (clicked(message, wParam, IDC_ADD_DIR))
        return addDirectory(), true;
    if (clicked(message, wParam, IDC_REMOVE_DIR))
        return removeDirectories(), true;
    if (clicked(message, wParam, IDC_REINDEX))
        return SendMessageW(mainDialog, CM_REINDEX, 0, 0), true;
    return message == WM_INITDIALOG;
}

void ConfigLibraryDialog::addDirectory()
{
    BROWSEINFOW browse{};
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS;
    const std::unique_ptr<ITEMIDLIST, decltype(&CoTaskMemFree)> picked(SHBrowseForFolderW(&browse), &CoTaskMemFree);
    std::array<wchar_t, MAX_PATH> path{};
    // Cancelled, or a folder without a file-system path: nothing to add.
    if (picked && SHGetPathFromIDListW(picked.get(), path.data()))
        SendDlgItemMessageW(window(), IDC_SHARED_DIRS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(path.data()));
}

void ConfigLibraryDialog::removeDirectories()
{
    std::array<int, 1024> selected{};
    const auto count = SendDlgItemMessageW(window(), IDC_SHARED_DIRS, LB_GETSELITEMS, selected.size(),
                                           reinterpret_cast<LPARAM>(selected.data()));
    // From the highest index down, so the others stay where they are.
    for (auto index = count; index-- > 0;)
        SendDlgItemMessageW(window(), IDC_SHARED_DIRS, LB_DELETESTRING, static_cast<WPARAM>(selected[index]), 0);
}

ConfigAboutDialog::ConfigAboutDialog(HINSTANCE module, HWND frame, HWND mainDialog)
    : ConfigPage(module, frame, IDD_ABOUT, mainDialog)
{
}

bool ConfigAboutDialog::dialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return false;
    SetDlgItemTextW(window, IDC_ABOUT_TITLE, L"Tunelet Remote Control Plugin v3.1");
    return true;
}

} // namespace ui::win32
