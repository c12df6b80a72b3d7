#include "webapp/RequestAdmission.h"

#include "http/Admission.h"
#include "http/HostHeader.h"
#include "message/Request.h"
#include "http/RequestThread.h"
#include "http/RequestSite.h"
#include "library/MediaLibrary.h"
#include "platform/Datagram.h"
#include "platform/MachineNames.h"
#include "webapp/WebApplication.h"

#include <algorithm>

namespace webapp {

namespace {

/// Routes another site's page may reach when it is a peer's.
bool isPeerRoute(std::string_view route)
{
    return route == "library.js" || route == "find.js" || route == "download" || route == "cover";
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
        names.emplace_back(http::bareHost(name));
    auto shared = std::make_shared<const std::vector<std::string>>(std::move(names));
    std::lock_guard guard(namesLock);
    hostNames = std::move(shared);
}

int RequestAdmission::refusal(const http::Request& request, const http::RequestThread& connection) const
{
    auto host = request.headers.find(std::string_view("Host"));
    if (host != request.headers.end() && !http::isAlwaysServed(host->second)) {
        std::shared_ptr<const std::vector<std::string>> names;
        {
            std::lock_guard guard(namesLock);
            names = hostNames;
        }
        if (!http::namesHost(host->second, *names))
            return 421;
    }

    const http::RequestSite site = http::requestSite(request.headers);
    if (!site.foreign)
        return 0;
    std::string_view route = request.path;
    route.remove_prefix(std::min(route.find_first_not_of('/'), route.size()));
    if (application.servesFile(route))
        return 0;
    if (isPeerRoute(route) && isPeerPage(site.page, connection.activityEntry().first))
        return 0;
    return 403;
}

bool RequestAdmission::isPeerPage(std::string_view page, std::string_view clientAddress) const
{
    if (page.empty())
        return false;
    const std::string_view host = http::authorityHost(page);
    const std::string port = host.size() < page.size() ? std::string(page.substr(host.size() + 1)) : "80";
    // A page on the browser's own loopback is the instance of the browser's
    // machine: a peer when that machine announced the page's port.
    const bool loopback = host.starts_with("127.") || host == "[::1]" || http::sameName(host, "localhost");
    const std::string_view client = clientAddress.substr(0, clientAddress.rfind(':'));
    const std::vector<discovery::PeerEntry> peers = application.library->peers();
    return std::any_of(peers.begin(), peers.end(), [&](const discovery::PeerEntry& peer) {
        const std::string address = platform::dottedAddress(peer.sender.address);
        return (address == host || (loopback && address == client)) && std::to_string(peer.port) == port;
    });
}

} // namespace webapp
