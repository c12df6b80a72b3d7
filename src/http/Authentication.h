#pragma once

namespace http {

class Request;
class Server;
class StateStore;

/// Whether `request` may be served in `session`, checked against the server's
/// one account:
/// - a session once authorised by Digest stays authorised ("authorized" is
///   "true");
/// - "Authorization: Basic ..." is accepted when it carries the configured
///   user and password, on every request, and never changes the session;
/// - "Authorization: Digest ..." (qop "auth") is accepted when its opaque is
///   the session's, its uri names the request's path, its nonce was made by
///   this program (at any time) and its response matches the password; the
///   session is then marked authorised.
/// Anything else is refused. Runs on the request's connection thread; the
/// session may be shared with other connections of the same browser.
bool isAuthorized(StateStore& session, Server& server, const Request& request);

} // namespace http
