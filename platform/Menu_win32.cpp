// Menus on Windows: the system's pop-up menus, which the host shows and a
// plug-in edits in place.
#include "platform/Menu.h"

#include "platform/win32/Utf16.h"

#include <windows.h>

namespace platform {

namespace {

::HMENU native(HMENU menu) { return reinterpret_cast<::HMENU>(menu); }

} // namespace

HMENU createMenu()
{
    return reinterpret_cast<HMENU>(CreatePopupMenu());
}

bool destroyMenu(HMENU menu)
{
    return menu && DestroyMenu(native(menu)) != 0;
}

bool isMenu(HMENU menu)
{
    return menu && IsMenu(native(menu)) != 0;
}

bool insertMenuItem(HMENU menu, int position, UINT id, const std::string& text)
{
    const int count = getMenuItemCount(menu);
    if (count < 0)
        return false;
    if (position < 0 || position > count)
        position = count;
    std::wstring wide = win32::toUtf16(text);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    item.fType = MFT_STRING;
    item.wID = id;
    item.dwTypeData = wide.data();
    return InsertMenuItemW(native(menu), static_cast<UINT>(position), TRUE, &item) != 0;
}

bool deleteMenuItem(HMENU menu, UINT id)
{
    return isMenu(menu) && DeleteMenu(native(menu), id, MF_BYCOMMAND) != 0;
}

int getMenuItemCount(HMENU menu)
{
    return isMenu(menu) ? GetMenuItemCount(native(menu)) : -1;
}

bool getMenuItem(HMENU menu, int position, MenuItem& out)
{
    if (!isMenu(menu) || position < 0)
        return false;
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING;
    // First the text's length, then the text.
    if (!GetMenuItemInfoW(native(menu), static_cast<UINT>(position), TRUE, &item))
        return false;
    std::wstring text(item.cch + 1, L'\0');
    item.dwTypeData = text.data();
    item.cch = static_cast<UINT>(text.size());
    if (!GetMenuItemInfoW(native(menu), static_cast<UINT>(position), TRUE, &item))
        return false;
    text.resize(item.cch);
    out = MenuItem{item.wID, win32::toUtf8(text)};
    return true;
}

std::vector<MenuItem> getMenuItems(HMENU menu)
{
    std::vector<MenuItem> items;
    const int count = getMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MenuItem item;
        if (getMenuItem(menu, i, item))
            items.push_back(std::move(item));
    }
    return items;
}

} // namespace platform
