#pragma once

#include "http/AccessRules.h"
#include "http/LoginThrottle.h"
#include "http/SessionStep.h"
#include "http/SessionTable.h"

#include <string>

namespace testing_support {

/// What the session step reads, without a listener: one account (alice /
/// s3cret) under the realm "Tunelet", a session table and a throttle of its
/// own, and "/download" opened with a URL token.
class AccountServer {
public:
    /// The account stays; only the requirement changes.
    void setRequirePassword(bool on) { rules.requirePassword = on; }
    http::SessionTable& sessions() { return table; }
    http::LoginThrottle& throttle() { return loginThrottle; }
    http::SessionInputs inputsFor(const std::string& path)
    {
        return {rules, table, loginThrottle, path == "/download"};
    }

    http::AccessRules rules{.username = "alice", .password = "s3cret"};

private:
    http::SessionTable table;
    http::LoginThrottle loginThrottle;
};

} // namespace testing_support
