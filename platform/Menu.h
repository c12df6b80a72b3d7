#pragma once

#include "platform/WindowTypes.h"

#include <string>
#include <utility>
#include <vector>

// Menus as plain data: an ordered list of items, each an identifier and a
// text. The host shows them; plug-ins edit them (for instance on
// WM_INITMENUPOPUP). Every function is thread-safe.
namespace platform {

struct MenuItem {
    UINT id = 0;
    std::string text;
};

HMENU createMenu();
/// False for an invalid handle.
bool destroyMenu(HMENU menu);
bool isMenu(HMENU menu);

/// Inserts before the item at `position`; a negative position or one past the
/// end appends. False for an invalid handle.
bool insertMenuItem(HMENU menu, int position, UINT id, const std::string& text);
/// Removes the first item with identifier `id`; false when there is none.
bool deleteMenuItem(HMENU menu, UINT id);
/// Number of items; -1 for an invalid handle.
int getMenuItemCount(HMENU menu);
/// The item at `position`; false when there is none.
bool getMenuItem(HMENU menu, int position, MenuItem& item);
/// Every item in order; empty for an invalid handle.
std::vector<MenuItem> getMenuItems(HMENU menu);

/// Move-only owner of a menu.
class UniqueMenu {
public:
    UniqueMenu() = default;
    explicit UniqueMenu(HMENU handle) : menu(handle) {}
    UniqueMenu(UniqueMenu&& other) noexcept : menu(other.release()) {}
    UniqueMenu& operator=(UniqueMenu&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueMenu(const UniqueMenu&) = delete;
    UniqueMenu& operator=(const UniqueMenu&) = delete;
    ~UniqueMenu() { reset(); }

    HMENU get() const { return menu; }
    explicit operator bool() const { return menu != nullptr; }
    HMENU release() { return std::exchange(menu, nullptr); }
    void reset(HMENU handle = nullptr)
    {
        HMENU old = std::exchange(menu, handle);
        if (old)
            destroyMenu(old);
    }

private:
    HMENU menu = nullptr;
};

} // namespace platform
