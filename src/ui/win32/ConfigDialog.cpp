#include "ui/win32/ConfigDialog.h"

#include "settings/ControlValues.h"
#include "settings/Ipv4Address.h"
#include "ui/win32/ConfigPages.h"
#include "ui/win32/DialogResources.h"
#include "ui/win32/DialogServices.h"
#include "ui/win32/WindowText.h"

#include <commctrl.h>
#include <objbase.h>

#include <string>

namespace ui::win32 {

namespace {

struct PageEntry {
    const wchar_t* text;
    WORD icon;
};
constexpr std::array<PageEntry, 5> pageEntries{{
    {L"Server", IDI_SERVER},
    {L"Security", IDI_SECURITY},
    {L"Activity", IDI_ACTIVITY},
    {L"Library", IDI_LIBRARY},
    {L"About", IDI_ABOUT},
}};
enum PageIndex { serverPage, securityPage, activityPage, libraryPage, aboutPage };

/// The page object for an entry, chosen by its icon.
std::unique_ptr<Dialog> makePage(WORD icon, HINSTANCE module, HWND frame, HWND mainDialog)
{
    switch (icon) {
    case IDI_SERVER: return std::make_unique<ConfigServerDialog>(module, frame, mainDialog);
    case IDI_SECURITY: return std::make_unique<ConfigSecurityDialog>(module, frame, mainDialog);
    case IDI_ACTIVITY: return std::make_unique<ConfigActivityDialog>(module, frame, mainDialog);
    case IDI_LIBRARY: return std::make_unique<ConfigLibraryDialog>(module, frame, mainDialog);
    default: return std::make_unique<ConfigAboutDialog>(module, frame, mainDialog);
    }
}

void check(HWND box, bool ticked)
{
    SendMessageW(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool ticked(HWND box)
{
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

/// The address control's four fields as dotted text; blank fields are 0.
std::string addressText(HWND control)
{
    DWORD address = 0;
    SendMessageW(control, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    return std::to_string(FIRST_IPADDRESS(address)) + '.' + std::to_string(SECOND_IPADDRESS(address)) + '.' +
           std::to_string(THIRD_IPADDRESS(address)) + '.' + std::to_string(FOURTH_IPADDRESS(address));
}

void setAddress(HWND control, const std::string& text)
{
    std::uint32_t networkOrder = 0;
    if (!host::parseIPv4(text, networkOrder)) {
        SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
        return;
    }
    const auto* octet = reinterpret_cast<const unsigned char*>(&networkOrder);
    SendMessageW(control, IPM_SETADDRESS, 0, MAKEIPADDRESS(octet[0], octet[1], octet[2], octet[3]));
}

std::vector<std::string> listItems(HWND list)
{
    std::vector<std::string> items;
    const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        std::wstring item(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1, L'\0');
        item.resize(static_cast<std::size_t>(
            SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(item.data()))));
        items.push_back(narrow(item));
    }
    return items;
}

} // namespace

ConfigDialog::ConfigDialog(HINSTANCE module, HWND owner, DialogServices& services)
    : Dialog(module, owner, IDD_CONFIG), services(services)
{
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof classes;
    classes.dwICC = ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES;
    if (!InitCommonControlsEx(&classes))
        MessageBoxW(nullptr, L"Cannot initialize Common Controls library", L"Warning!", MB_OK);
    // The folder browser needs the component library on this thread.
    componentsReady = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

ConfigDialog::~ConfigDialog()
{
    services.notify(nullptr);
    services.notifyActivity(nullptr);
    for (auto& page : pages)
        page.reset();
    if (componentsReady)
        CoUninitialize();
}

INT_PTR ConfigDialog::run()
{
    modal = true;
    return runModal();
}

HWND ConfigDialog::page(int index) const
{
    return pages[static_cast<std::size_t>(index)] ? pages[static_cast<std::size_t>(index)]->window() : nullptr;
}

HWND ConfigDialog::pageControl(int index, int id) const
{
    return GetDlgItem(page(index), id);
}

void ConfigDialog::createPages()
{
    HWND list = control(IDC_PAGE_LIST);
    HWND frame = control(IDC_PAGE_FRAME);
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         ILC_COLOR32 | ILC_MASK, static_cast<int>(pageEntries.size()), 0);
    RECT listArea{};
    GetClientRect(list, &listArea);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = listArea.right;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT frameArea{};
    GetClientRect(frame, &frameArea);
    for (std::size_t index = 0; index < pageEntries.size(); ++index) {
        const PageEntry& entry = pageEntries[index];
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(entry.icon), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        const int image = icon ? ImageList_AddIcon(images, icon) : -1;
        if (icon)
            DestroyIcon(icon);
        std::wstring text = entry.text;
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(index);
        item.pszText = text.data();
        item.iImage = image;
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        pages[index] = makePage(entry.icon, module, frame, window());
        // A page that cannot be made is left out; the others work.
        if (HWND made = pages[index]->create())
            MoveWindow(made, 0, 0, frameArea.right, frameArea.bottom, FALSE);
    }
    // The list owns the image list from here on.
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images));
}

bool ConfigDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        closing = false;
        createPages();
        fillControls();
        showPage(serverPage);
        selectEntry(serverPage);
        services.notify(window());
        return true;
    }
    case WM_NOTIFY: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if (change->hdr.idFrom == IDC_PAGE_LIST && change->hdr.code == LVN_ITEMCHANGED &&
            (change->uNewState & LVIS_SELECTED) && change->iItem >= 0)
            showPage(change->iItem);
        return false;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            closeAsOk();
            return true;
        }
        return false;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            closeAsOk();
            return true;
        }
        return false;
    case CM_REFRESH:
        fillControls();
        return true;
    case CM_START:
        readControls();
        EnableWindow(pageControl(serverPage, IDC_START), FALSE);
        services.startServer();
        return true;
    case CM_STOP:
        readControls();
        EnableWindow(pageControl(serverPage, IDC_STOP), FALSE);
        services.stopServer();
        return true;
    case CM_SAVE:
        readControls();
        return true;
    case CM_REINDEX:
        reindex();
        return true;
    case CM_ACTIVITY_ATTACH:
        services.notifyActivity(page(activityPage));
        return true;
    case CM_ACTIVITY_DETACH:
        services.notifyActivity(nullptr);
        return true;
    case CM_CLOSE:
        if (modal)
            EndDialog(window(), IDOK);
        else
            DestroyWindow(window());
        return true;
    case CM_INDEX_STATUS: {
        const std::unique_ptr<std::string> path(reinterpret_cast<std::string*>(lParam));
        const std::lock_guard guard(lock);
        setWindowText(pageControl(libraryPage, IDC_INDEX_STATUS), path ? *path : std::string());
        return true;
    }
    case CM_APPLY:
        readControls();
        services.applyToServer();
        return true;
    default:
        return false;
    }
}

void ConfigDialog::showPage(int index)
{
    if (HWND shown = page(current); shown && current != index)
        ShowWindow(shown, SW_HIDE);
    current = index;
    for (int other = 0; other < static_cast<int>(pages.size()); ++other)
        if (HWND hidden = page(other); hidden && other != index)
            ShowWindow(hidden, SW_HIDE);
    if (HWND shown = page(index))
        ShowWindow(shown, SW_SHOW);
}

void ConfigDialog::selectEntry(int index)
{
    LVITEMW selected{};
    selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    selected.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendDlgItemMessageW(window(), IDC_PAGE_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(&selected));
}

void ConfigDialog::closeAsOk()
{
    if (closing)
        return;
    if (!readControls()) {
        selectEntry(serverPage);
        return;
    }
    closing = true;
    PostMessageW(window(), CM_ACTIVITY_DETACH, 0, 0);
    PostMessageW(window(), CM_APPLY, 0, 0);
    PostMessageW(window(), CM_CLOSE, 0, 0);
}

void ConfigDialog::fillControls()
{
    const host::SettingsData values = services.settings();
    const std::lock_guard guard(lock);

    setAddress(pageControl(serverPage, IDC_ADDRESS), values.listenIP);
    setWindowText(pageControl(serverPage, IDC_PORT), std::to_string(values.listenPort));
    check(pageControl(serverPage, IDC_AUTO_START), values.autoStart);
    setWindowText(pageControl(serverPage, IDC_TIMEOUT), std::to_string(values.timeout));
    const bool running = services.serverRunning();
    EnableWindow(pageControl(serverPage, IDC_START), !running);
    EnableWindow(pageControl(serverPage, IDC_STOP), running);

    check(pageControl(securityPage, IDC_REQUIRE_PASSWORD), values.requirePassword);
    setWindowText(pageControl(securityPage, IDC_USERNAME), values.username);
    setWindowText(pageControl(securityPage, IDC_PASSWORD), values.password);
    check(pageControl(securityPage, IDC_FILTER_IPS), values.filterIPs);
    setWindowText(pageControl(securityPage, IDC_ALLOWED_IPS), host::toCrLf(values.allowedIPs));
    setWindowText(pageControl(securityPage, IDC_BLOCKED_IPS), host::toCrLf(values.blockedIPs));
    for (const int id : {IDC_USERNAME, IDC_PASSWORD})
        EnableWindow(pageControl(securityPage, id), values.requirePassword);
    for (const int id : {IDC_ALLOWED_IPS, IDC_BLOCKED_IPS})
        EnableWindow(pageControl(securityPage, id), values.filterIPs);

    check(pageControl(libraryPage, IDC_ENABLE_ML), values.enableML);
    HWND directories = pageControl(libraryPage, IDC_SHARED_DIRS);
    SendMessageW(directories, LB_RESETCONTENT, 0, 0);
    for (const std::string& directory : values.sharedDirs)
        SendMessageW(directories, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(directory).c_str()));
    showIndexStatus();
}

void ConfigDialog::showIndexStatus()
{
    // During a rebuild its progress arrives with CM_INDEX_STATUS.
    HWND reindexButton = pageControl(libraryPage, IDC_REINDEX);
    if (services.indexing()) {
        ShowWindow(reindexButton, SW_HIDE);
        return;
    }
    setWindowText(pageControl(libraryPage, IDC_INDEX_STATUS), host::toCrLf(services.indexStatus()));
    ShowWindow(reindexButton, SW_SHOW);
}

bool ConfigDialog::readControls()
{
    webapp::SettingsForm form = webapp::SettingsForm::of(services.settings());
    {
        const std::lock_guard guard(lock);
        form.autoStart = ticked(pageControl(serverPage, IDC_AUTO_START));
        form.address = addressText(pageControl(serverPage, IDC_ADDRESS));
        form.port = windowText(pageControl(serverPage, IDC_PORT));
        form.timeout = windowText(pageControl(serverPage, IDC_TIMEOUT));
        form.requirePassword = ticked(pageControl(securityPage, IDC_REQUIRE_PASSWORD));
        form.username = windowText(pageControl(securityPage, IDC_USERNAME));
        form.password = windowText(pageControl(securityPage, IDC_PASSWORD));
        form.filterIPs = ticked(pageControl(securityPage, IDC_FILTER_IPS));
        form.allowedIPs = windowText(pageControl(securityPage, IDC_ALLOWED_IPS));
        form.blockedIPs = windowText(pageControl(securityPage, IDC_BLOCKED_IPS));
        form.enableML = ticked(pageControl(libraryPage, IDC_ENABLE_ML));
        form.sharedDirs = listItems(pageControl(libraryPage, IDC_SHARED_DIRS));
    }
    const webapp::FormMessages messages = services.saveForm(form);
    std::string why;
    for (const std::string* message : {&messages.address, &messages.port, &messages.timeout})
        if (!message->empty())
            why += (why.empty() ? "" : "\r\n") + *message;
    setWindowText(pageControl(serverPage, IDC_SERVER_MESSAGE), why);
    return messages.accepted();
}

void ConfigDialog::reindex()
{
    readControls();
    // A running rebuild keeps the directories it started with.
    if (services.indexing())
        return;
    services.reindex();
    fillControls();
}

} // namespace ui::win32
