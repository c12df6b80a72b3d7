#pragma once

#include <string>
#include <vector>

namespace http {

/// Who may use a server: the password requirement with its one account and
/// the realm it is asked for in, and the address filter. The owner hands a
/// whole set over at once (`Server::setAccess`), so a request is judged by
/// one consistent set.
struct AccessRules {
    bool requirePassword = false;
    std::string username{};
    std::string password{};
    /// When set, a peer is admitted only as `isAddressAllowed` decides.
    bool filterIPs = false;
    /// Address patterns (see `addressMatches`).
    std::vector<std::string> allowedIPs{};
    std::vector<std::string> blockedIPs{};
    /// The protection realm of every path; it also names the session cookie
    /// and the session parameter.
    std::string realm = "Tunelet";
};

} // namespace http
