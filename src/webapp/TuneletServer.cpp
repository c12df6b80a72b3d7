#include "webapp/TuneletServer.h"

#include "settings/Ipv4Address.h"
#include "settings/Settings.h"
#include "http/Admission.h"
#include "library/MediaLibrary.h"
#include "webapp/ServerState.h"
#include "webapp/TuneletRequestThread.h"
#include "webapp/WebApplication.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace webapp {

TuneletServer::TuneletServer(WebApplication& application, const host::Settings& settings,
                             std::uint32_t listenAddress, std::uint16_t listenPort)
    : Server(listenAddress, listenPort), application(application), admission(application)
{
    const host::SettingsData values = settings.snapshot();
    documentRoot = values.documentRoot;
    idleTimeout = values.timeout;
    applyAccessSettings(values);
}

void TuneletServer::runningAsked(bool running)
{
    if (running)
        application.library->allowFetches();
    else
        application.library->stopFetches();
}

http::Endpoint TuneletServer::endpointFor(const host::SettingsData& values)
{
    http::Endpoint endpoint;
    if (!host::parseIPv4(values.listenIP, endpoint.address) || values.listenPort < 0 || values.listenPort > 0xFFFF)
        return {http::Endpoint::unlistenable, 0};
    endpoint.port = static_cast<std::uint16_t>(values.listenPort);
    return endpoint;
}

int TuneletServer::run()
{
    const int result = Server::run();
    // The player runs on without its server: the one line says why.
    if (listenFailure() != 0) {
        ServerState state = serverStateOf(*this);
        state.running = false;  // it is leaving `run`
        std::fprintf(stderr, "Tunelet: %s\n", serverStateText(state).c_str());
    }
    return result;
}

void TuneletServer::applyAccessSettings(const host::SettingsData& values)
{
    // All six at once, whether or not a password is required.
    setAccess({.requirePassword = values.requirePassword,
               .username = values.username,
               .password = values.password,
               .filterIPs = values.filterIPs,
               .allowedIPs = http::addressPatterns(values.allowedIPs),
               .blockedIPs = http::addressPatterns(values.blockedIPs),
               .realm = realmName});
    admission.allowHosts(values.allowedHosts);
}

bool TuneletServer::opensWithUrlToken(const std::string& path)
{
    // Every request passes here: the route is looked at in place.
    const std::string_view route = TuneletRequestThread::routeIn(path);
    return route == "download" || route == "stream";
}

bool TuneletServer::acceptConnection(platform::UniqueFd socket)
{
    return startConnection(std::make_unique<TuneletRequestThread>(std::move(socket), *this));
}

} // namespace webapp
