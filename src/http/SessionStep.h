#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace http {

struct AccessRules;
class LoginThrottle;
class Request;
class Response;
class SessionTable;
class StateStore;

/// What the session step reads for one request: the access rules in force
/// (one snapshot, unchanged while the step runs), the listener's session
/// table and wrong-password record, and whether the request's path may be
/// opened by a session's URL token (what a media player handed our URLs
/// sends) instead of its cookie or credentials.
struct SessionInputs {
    const AccessRules& rules;
    SessionTable& sessions;
    LoginThrottle& throttle;
    bool opensWithUrlToken = false;
};

/// What the session step tells the connection about its current request.
struct SessionBinding {
    std::shared_ptr<StateStore> session;  // shared with the server's session table
    std::string cookieName;               // the realm text naming the cookie and parameter
};

/// The session step of the request cycle, run on the connection's thread for
/// every parsed request (also for parse failures): finds the request's
/// session, accepting only ids and keys the table issued, through
/// - its URL token in the "auth" (or realm-named) parameter, on the paths
///   opened with one (`opensWithUrlToken`); the token alone authorises them;
/// - its id in the session cookie;
/// - without either, the opaque of a Digest answer, for clients that keep no
///   cookies: that answer is then checked in full on every request;
/// issues a new session (with "Set-Cookie") when none is named; and, when
/// the rules require a password, judges the request (`authorize`): a session
/// named by its cookie that Digest authorises is marked so and gets a fresh
/// id, sent with "Set-Cookie", so an id known before the login is worth
/// nothing after it; wrong credentials count against `clientAddress` in the
/// throttle, right ones wipe its record. A request not authorised becomes a
/// 401 with both challenges on `response`, or a 429 with "Retry-After" while
/// the throttle shuts `clientAddress` out of credential checks.
SessionBinding attachSession(const SessionInputs& inputs, Request& request, Response& response,
                             std::string_view clientAddress = {});

} // namespace http
