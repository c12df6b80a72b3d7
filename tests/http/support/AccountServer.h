#pragma once

#include "http/Server.h"

#include <string>

namespace testing_support {

/// A listener that is never started, holding one account (alice / s3cret)
/// under the realm "Tunelet": enough for the session and authentication
/// checks, which only ask it about names, passwords and sessions.
class AccountServer : public http::Server {
public:
    AccountServer() : Server(0, 0)
    {
        setUsername("alice");
        setPassword("s3cret");
    }
    std::string realm(const std::string&) override { return "Tunelet"; }
    bool isUser(const std::string& name) override { return name == username; }
    std::string passwordFor(const std::string& name) override { return name == username ? password : ""; }
    bool acceptConnection(platform::UniqueFd) override { return false; }
};

} // namespace testing_support
