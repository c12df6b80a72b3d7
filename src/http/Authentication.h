#pragma once

#include <cstdint>
#include <string_view>

namespace http {

class Request;
class Server;
class StateStore;

/// Whether `request` may be served in `session`, checked against the server's
/// one account:
/// - a session once authorised by Digest stays authorised ("authorized" is
///   "true"), when the request named it by its cookie (`sessionNamed`);
/// - "Authorization: Basic ..." is accepted when it carries the configured
///   user and password, on every request, and never changes the session;
/// - "Authorization: Digest ..." (qop "auth") is accepted when its opaque is
///   the session's, its realm is the server's, its uri is the request's whole
///   target (query included), its nonce was made by this process within its
///   lifetime and its response matches the password; a session named by its
///   cookie is then marked authorised (one found by the opaque alone is not:
///   only that request is). A correct answer to a nonce past its lifetime is
///   refused as stale, so the client can retry with a new nonce without
///   asking its user.
/// Credentials are checked only while the server's throttle lets
/// `clientAddress` in (`throttled` otherwise, unchecked); wrong ones
/// (`wrongCredentials`) are counted against it there, right ones wipe its
/// record. Anything else is refused. Runs on the request's connection
/// thread; the session may be shared with other connections of the same
/// browser.
enum class Authorization { refused, stale, byBasic, byDigest, bySession, wrongCredentials, throttled };
Authorization authorize(StateStore& session, Server& server, const Request& request, std::uint64_t nowSeconds,
                        std::string_view clientAddress = {}, bool sessionNamed = true);

/// `authorize` at the current time, as a yes or no.
bool isAuthorized(StateStore& session, Server& server, const Request& request);

} // namespace http
