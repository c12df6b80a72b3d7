#include "library/PeerAccess.h"

#include "message/UrlCoding.h"
#include "library/FetchUrl.h"
#include "library/LibraryPath.h"
#include "platform/Connect.h"

#include <algorithm>

namespace library {

namespace {

bool isHostByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == ':';
}

bool namesThisInstance(std::string_view authority, std::uint16_t ownPort)
{
    // Read as the fetch reads it, so "host:05151" is port 5151 here too.
    PeerUrl parts;
    if (!splitPeerUrl(std::string(peerPrefix) + std::string(authority), parts))
        return true;
    if (parts.port != ownPort)
        return false;
    const std::optional<std::uint32_t> address = platform::resolveIpv4(parts.host);
    return !address || platform::isOwnAddress(*address);
}

bool listed(std::string_view authority, const std::vector<std::string>& list)
{
    return std::find(list.begin(), list.end(), authority) != list.end();
}

} // namespace

bool mayAskPeer(std::string_view authority, const PeerAccess& access)
{
    if (authority.empty() || !(listed(authority, access.heard) || listed(authority, access.saved)))
        return false;
    return !namesThisInstance(authority, access.ownPort);
}

void keepItemsOfPeer(std::string_view url, std::vector<std::string>& items, std::size_t from)
{
    PeerUrl peer;
    const bool known = splitPeerUrl(url, peer);
    from = std::min(from, items.size());
    auto elsewhere = [&](const std::string& item) {
        PeerUrl parts;
        return !known || !splitPeerUrl(item, parts) || parts.authority != peer.authority;
    };
    items.erase(std::remove_if(items.begin() + static_cast<std::ptrdiff_t>(from), items.end(), elsewhere),
                items.end());
}

std::vector<std::string> savedPlaceHosts(std::string_view favsCookie)
{
    std::string text(favsCookie);
    http::urlDecode(text);
    std::vector<std::string> hosts;
    constexpr std::string_view key = "\"host\":\"";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        const std::size_t end = text.find('"', start);
        if (end == std::string::npos)
            break;
        const std::string_view host = std::string_view(text).substr(start, end - start);
        if (!host.empty() && std::all_of(host.begin(), host.end(), isHostByte))
            hosts.emplace_back(host);
    }
    return hosts;
}

void NotedPlaces::note(std::string_view authority)
{
    std::lock_guard guard(lock);
    auto found = std::find(places.begin(), places.end(), authority);
    if (found != places.end())
        places.erase(found);
    places.emplace_back(authority);
    if (places.size() > capacity)
        places.pop_front();
}

std::vector<std::string> NotedPlaces::all() const
{
    std::lock_guard guard(lock);
    return {places.begin(), places.end()};
}

} // namespace library
