#include "webapp/TuneletServer.h"

#include "host/Settings.h"
#include "webapp/TuneletRequestThread.h"

#include <memory>

namespace webapp {

TuneletServer::TuneletServer(WebApplication& application, const host::Settings& settings,
                             std::uint32_t listenAddress, std::uint16_t listenPort)
    : Server(listenAddress, listenPort), application(application)
{
    documentRoot = settings.getDocumentRoot();
    idleTimeout = settings.timeout;
}

std::string TuneletServer::realm(const std::string&)
{
    return realmName;
}

bool TuneletServer::isUser(const std::string& name)
{
    return name == username;
}

std::string TuneletServer::passwordFor(const std::string& name)
{
    return name == username ? password : std::string();
}

bool TuneletServer::acceptConnection(platform::UniqueFd socket)
{
    return startConnection(std::make_unique<TuneletRequestThread>(std::move(socket), *this));
}

} // namespace webapp
