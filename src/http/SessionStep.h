#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace http {

class Request;
class Response;
class Server;
class StateStore;

/// What the session step tells the connection about its current request.
struct SessionBinding {
    std::shared_ptr<StateStore> session;  // shared with the server's session table
    std::string cookieName;               // the realm text naming the cookie and parameter
};

/// The session step of the request cycle, run on the connection's thread for
/// every parsed request (also for parse failures): finds the request's
/// session, accepting only ids and keys the server issued, through
/// - its URL token in the "auth" (or realm-named) parameter, on the paths
///   the server opens with one (`Server::opensWithUrlToken`); the token
///   alone authorises them;
/// - its id in the session cookie;
/// - without either, the opaque of a Digest answer, for clients that keep no
///   cookies: that answer is then checked in full on every request;
/// issues a new session (with "Set-Cookie") when none is named; and, when
/// the server requires a password and the request is not authorised, turns
/// `request` into a 401 with both challenges on `response`, or into a 429
/// with "Retry-After" while the server's throttle shuts `clientAddress` out
/// of credential checks. A session named by its cookie that becomes
/// authorised here gets a fresh id, sent with "Set-Cookie", so an id known
/// before the login is worth nothing after it.
SessionBinding attachSession(Server& server, Request& request, Response& response,
                             std::string_view clientAddress = {});

} // namespace http
