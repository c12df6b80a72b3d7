#pragma once

#include <cstdint>

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
///   the session's, its uri is the request's whole target (query included),
///   its nonce was made by this process within its lifetime and its response
///   matches the password; the session is then marked authorised. A correct
///   answer to a nonce past its lifetime is refused as stale, so the client
///   can retry with a new nonce without asking its user.
/// Anything else is refused. Runs on the request's connection thread; the
/// session may be shared with other connections of the same browser.
enum class Authorization { refused, stale, byBasic, byDigest, bySession };
Authorization authorize(StateStore& session, Server& server, const Request& request,
                        std::uint64_t nowSeconds);

/// `authorize` at the current time, as a yes or no.
bool isAuthorized(StateStore& session, Server& server, const Request& request);

} // namespace http
