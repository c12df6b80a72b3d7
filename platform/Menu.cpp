#include "platform/Menu.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

// One lock for every menu: menus are small and edited rarely.
struct MenuTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::vector<MenuItem>> menus;
    std::uintptr_t lastId = 0;
};

MenuTable& table()
{
    // Never destroyed, like the window registry: late users at exit stay safe.
    static MenuTable* const instance = new MenuTable;
    return *instance;
}

std::uintptr_t keyOf(HMENU menu) { return reinterpret_cast<std::uintptr_t>(menu); }

/// The items of `menu`, or null; call with the table's lock held.
std::vector<MenuItem>* itemsOf(MenuTable& t, HMENU menu)
{
    auto found = t.menus.find(keyOf(menu));
    return found == t.menus.end() ? nullptr : &found->second;
}

} // namespace

HMENU createMenu()
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    std::uintptr_t id = ++t.lastId;
    t.menus.emplace(id, std::vector<MenuItem>{});
    return reinterpret_cast<HMENU>(id);
}

bool destroyMenu(HMENU menu)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    return t.menus.erase(keyOf(menu)) == 1;
}

bool isMenu(HMENU menu)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    return itemsOf(t, menu) != nullptr;
}

bool insertMenuItem(HMENU menu, int position, UINT id, const std::string& text)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    auto* items = itemsOf(t, menu);
    if (!items)
        return false;
    std::size_t at = position < 0 ? items->size()
                                  : std::min(static_cast<std::size_t>(position), items->size());
    items->insert(items->begin() + static_cast<std::ptrdiff_t>(at), MenuItem{id, text});
    return true;
}

bool deleteMenuItem(HMENU menu, UINT id)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    auto* items = itemsOf(t, menu);
    if (!items)
        return false;
    auto found = std::find_if(items->begin(), items->end(), [id](const MenuItem& item) { return item.id == id; });
    if (found == items->end())
        return false;
    items->erase(found);
    return true;
}

int getMenuItemCount(HMENU menu)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    auto* items = itemsOf(t, menu);
    return items ? static_cast<int>(items->size()) : -1;
}

bool getMenuItem(HMENU menu, int position, MenuItem& item)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    auto* items = itemsOf(t, menu);
    if (!items || position < 0 || static_cast<std::size_t>(position) >= items->size())
        return false;
    item = (*items)[static_cast<std::size_t>(position)];
    return true;
}

std::vector<MenuItem> getMenuItems(HMENU menu)
{
    MenuTable& t = table();
    std::lock_guard guard(t.lock);
    auto* items = itemsOf(t, menu);
    return items ? *items : std::vector<MenuItem>{};
}

} // namespace platform
