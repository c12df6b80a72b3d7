#include "webapp/PlaylistClients.h"

#include <algorithm>

namespace webapp {

PlaylistClients::PlaylistClients(std::size_t capacity, Clock::duration lifetime)
    : capacity(std::max<std::size_t>(capacity, 1)), lifetime(lifetime)
{
}

bool PlaylistClients::holdsCurrent(std::string_view id, Clock::time_point now) const
{
    auto found = lastSeen.find(id);
    return found != lastSeen.end() && now - found->second <= lifetime;
}

void PlaylistClients::markCurrent(const std::string& id, Clock::time_point now)
{
    auto found = lastSeen.find(id);
    if (found != lastSeen.end()) {
        found->second = now;
        return;
    }
    makeRoom(now);
    lastSeen.emplace(id, now);
}

void PlaylistClients::makeRoom(Clock::time_point now)
{
    std::erase_if(lastSeen, [&](const auto& entry) { return now - entry.second > lifetime; });
    while (lastSeen.size() >= capacity) {
        auto oldest = std::min_element(lastSeen.begin(), lastSeen.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
        lastSeen.erase(oldest);
    }
}

std::vector<std::string> PlaylistClients::ids() const
{
    std::vector<std::string> out;
    out.reserve(lastSeen.size());
    for (const auto& entry : lastSeen)
        out.push_back(entry.first);
    return out;
}

} // namespace webapp
