#pragma once

#include "http/Server.h"
#include "webapp/RequestAdmission.h"

#include <cstdint>
#include <string>

namespace host {
class Settings;
struct SettingsData;
}

namespace webapp {

class WebApplication;

/// The HTTP server of the web application: one realm, "Tunelet", for every
/// path (it also names the session cookie), the one configured account, and
/// a `TuneletRequestThread` per connection, which hands its requests to
/// `application`.
///
/// At construction it takes one snapshot of `settings`: the document root,
/// the `timeout` as the time an idle connection is kept, and the access
/// rules (password, account, address filter, allowed host names), which the
/// owner hands over again with `applyAccessSettings` when they change. `application` must
/// outlive the server.
class TuneletServer final : public http::Server {
public:
    static constexpr const char* realmName = "Tunelet";

    TuneletServer(WebApplication& application, const host::Settings& settings, std::uint32_t listenAddress,
                  std::uint16_t listenPort);

    /// Replaces the access rules and allowed host names by those of
    /// `values`, at once.
    void applyAccessSettings(const host::SettingsData& values);

    /// "download" and "stream": what a media player handed our URLs fetches.
    bool opensWithUrlToken(const std::string& path) override;
    bool acceptConnection(platform::UniqueFd socket) override;

    /// Where `values` says to listen: its `listenIP` and `listenPort`, or
    /// `http::Endpoint::unlistenable` when the address is not dotted IPv4 or
    /// the port is not 0 to 65535 (0: any free port).
    static http::Endpoint endpointFor(const host::SettingsData& values);

    WebApplication& application;
    /// Judges every request before its session is looked at.
    RequestAdmission admission;

protected:
    /// A stop also ends the library's peer fetches under way (and refuses
    /// new ones until the next start or restart), so no connection keeps the
    /// quit waiting for a peer.
    void runningAsked(bool running) override;
    /// Runs the server; a listen that failed is said in one line on stderr.
    int run() override;
};

} // namespace webapp
