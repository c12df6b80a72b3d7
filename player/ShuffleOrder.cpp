#include "player/ShuffleOrder.h"

#include <algorithm>
#include <numeric>

namespace player {

void ShuffleOrder::reset(int size, int first)
{
    order.resize(static_cast<std::size_t>(std::max(size, 0)));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    cursor = -1;
    auto found = std::find(order.begin(), order.end(), first);
    if (found != order.end()) {
        std::iter_swap(order.begin(), found);
        cursor = 0;
    }
}

void ShuffleOrder::appended(int index)
{
    // Anywhere from just after the cursor to the end.
    int low = cursor + 1;
    int high = static_cast<int>(order.size());
    int at = std::uniform_int_distribution<int>(low, high)(random);
    order.insert(order.begin() + at, index);
}

void ShuffleOrder::removed(int index)
{
    auto found = std::find(order.begin(), order.end(), index);
    if (found == order.end())
        return;
    int at = static_cast<int>(found - order.begin());
    order.erase(found);
    if (at <= cursor)
        --cursor;  // the cursor stays between the same neighbours
    for (int& entry : order)
        if (entry > index)
            --entry;
}

void ShuffleOrder::swapped(int a, int b)
{
    for (int& entry : order) {
        if (entry == a)
            entry = b;
        else if (entry == b)
            entry = a;
    }
}

void ShuffleOrder::cleared()
{
    order.clear();
    cursor = -1;
}

int ShuffleOrder::next()
{
    if (cursor + 1 >= static_cast<int>(order.size()))
        return -1;
    return order[static_cast<std::size_t>(++cursor)];
}

int ShuffleOrder::previous()
{
    if (cursor <= 0)
        return -1;
    return order[static_cast<std::size_t>(--cursor)];
}

void ShuffleOrder::moveTo(int index)
{
    auto found = std::find(order.begin(), order.end(), index);
    if (found != order.end())
        cursor = static_cast<int>(found - order.begin());
}

} // namespace player
