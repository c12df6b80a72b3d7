#include "library/RecentTags.h"

namespace library {

std::optional<TrackTags> RecentTags::find(std::string_view path, const Stamp& stamp, bool& found)
{
    std::lock_guard guard(lock);
    found = false;
    auto at = byPath.find(path);
    if (at == byPath.end() || !(at->second->stamp == stamp))
        return std::nullopt;
    order.splice(order.begin(), order, at->second);
    found = true;
    return at->second->tags;
}

void RecentTags::store(std::string_view path, const Stamp& stamp, std::optional<TrackTags> tags)
{
    std::lock_guard guard(lock);
    if (auto at = byPath.find(path); at != byPath.end()) {
        at->second->stamp = stamp;
        at->second->tags = std::move(tags);
        order.splice(order.begin(), order, at->second);
        return;
    }
    if (order.size() >= capacity) {
        byPath.erase(order.back().path);
        order.pop_back();
    }
    order.push_front({std::string(path), stamp, std::move(tags)});
    // The key views the string of the list's node, which never moves.
    byPath.emplace(order.front().path, order.begin());
}

std::size_t RecentTags::size() const
{
    std::lock_guard guard(lock);
    return order.size();
}

} // namespace library
