#pragma once

#include "http/Server.h"

#include <cstdint>
#include <string>

namespace host {
class Settings;
}

namespace webapp {

class WebApplication;

/// The HTTP server of the web application: one realm, "Tunelet", for every
/// path (it also names the session cookie), the one configured account, and
/// a `TuneletRequestThread` per connection, which hands its requests to
/// `application`.
///
/// At construction it copies the document root from `settings` and takes
/// the settings' `timeout` as the time an idle connection is kept. The
/// access settings (password, account, address filter) are the owner's to
/// hand over, as for every `Server`. `application` must outlive the server.
class TuneletServer final : public http::Server {
public:
    static constexpr const char* realmName = "Tunelet";

    TuneletServer(WebApplication& application, const host::Settings& settings, std::uint32_t listenAddress,
                  std::uint16_t listenPort);

    std::string realm(const std::string& path) override;
    /// Exact, case-sensitive comparison with the configured user name.
    bool isUser(const std::string& name) override;
    /// The configured password for the configured user; empty otherwise.
    std::string passwordFor(const std::string& name) override;
    bool acceptConnection(platform::UniqueFd socket) override;

    WebApplication& application;
};

} // namespace webapp
