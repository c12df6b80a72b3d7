#include "webapp/RequestAdmission.h"

#include "http/Admission.h"
#include "http/HostHeader.h"
#include "http/Request.h"
#include "http/RequestSite.h"
#include "library/MediaLibrary.h"
#include "platform/Datagram.h"
#include "platform/MachineNames.h"
#include "webapp/RouteTables.h"
#include "webapp/WebApplication.h"

#include <algorithm>

namespace webapp {

namespace {

/// Routes another site's page may reach when it is a peer's.
bool isPeerRoute(std::string_view route)
{
    return route == "library.js" || route == "download";
}

std::string lowerName(std::string_view name)
{
    while (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    std::string out(name);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    return out;
}

} // namespace

RequestAdmission::RequestAdmission(const WebApplication& application)
    : application(application), hostNames(std::make_shared<const std::vector<std::string>>(platform::machineNames()))
{
}

void RequestAdmission::allowHosts(std::string_view userNames)
{
    std::vector<std::string> names = platform::machineNames();
    for (const std::string& name : http::splitText(userNames, " \t\r\n\v\f,;"))
        names.push_back(lowerName(http::authorityHost(name)));
    auto shared = std::make_shared<const std::vector<std::string>>(std::move(names));
    std::lock_guard guard(namesLock);
    hostNames = std::move(shared);
}

int RequestAdmission::refusal(const http::Request& request) const
{
    auto host = request.headers.find(std::string_view("Host"));
    if (host != request.headers.end()) {
        std::shared_ptr<const std::vector<std::string>> names;
        {
            std::lock_guard guard(namesLock);
            names = hostNames;
        }
        if (!http::isServedHost(host->second, *names))
            return 421;
    }

    const http::RequestSite site = http::requestSite(request.headers);
    if (!site.foreign)
        return 0;
    std::string_view route = request.path;
    route.remove_prefix(std::min(route.find_first_not_of('/'), route.size()));
    if (resourceTable().contains(std::string(route)))
        return 0;
    if (isPeerRoute(route) && isPeerPage(site.page))
        return 0;
    return 403;
}

bool RequestAdmission::isPeerPage(std::string_view page) const
{
    if (page.empty())
        return false;
    const std::string_view host = http::authorityHost(page);
    const std::string port = host.size() < page.size() ? std::string(page.substr(host.size() + 1)) : "80";
    const std::vector<discovery::PeerEntry> peers = application.library->peers();
    return std::any_of(peers.begin(), peers.end(), [&](const discovery::PeerEntry& peer) {
        return platform::dottedAddress(peer.sender.address) == host && std::to_string(peer.port) == port;
    });
}

} // namespace webapp
