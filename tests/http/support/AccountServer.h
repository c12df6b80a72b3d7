#pragma once

#include "http/Server.h"

#include <string>

namespace testing_support {

/// A listener that is never started, holding one account (alice / s3cret)
/// under the realm "Tunelet", whose "/download" opens with a URL token: enough
/// for the session and authentication checks, which only ask it about names,
/// passwords, paths and sessions.
class AccountServer : public http::Server {
public:
    AccountServer() : Server(0, 0) { setRequirePassword(false); }
    /// The account stays; only the requirement changes.
    void setRequirePassword(bool on) { setAccess({.requirePassword = on, .username = "alice", .password = "s3cret"}); }
    std::string realm(const std::string&) override { return "Tunelet"; }
    bool isUser(const std::string& name) override { return name == access()->username; }
    std::string passwordFor(const std::string& name) override
    {
        const auto rules = access();
        return name == rules->username ? rules->password : "";
    }
    bool opensWithUrlToken(const std::string& path) override { return path == "/download"; }
    bool acceptConnection(platform::UniqueFd) override { return false; }
};

} // namespace testing_support
