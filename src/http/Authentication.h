#pragma once

#include <cstdint>

namespace http {

struct AccessRules;
class Request;
class StateStore;

/// Whether `request` may be served in `session`, checked against the one
/// account of `rules`:
/// - a session once authorised by Digest stays authorised ("authorized" is
///   "true"), when the request named it by its cookie (`sessionNamed`);
/// - "Authorization: Basic ..." is accepted when it carries the account's
///   user and password, on every request;
/// - "Authorization: Digest ..." (qop "auth") is accepted when its opaque is
///   the session's, its realm is that of `rules`, its uri is the request's
///   whole target (query included), its nonce was made by this process
///   within its lifetime and its response matches the password. A correct
///   answer to a nonce past its lifetime is `stale`, so the client can retry
///   with a new nonce without asking its user.
/// Credentials are not checked at all while `lockedOut` (`throttled`);
/// wrong ones are `wrongCredentials`. Anything else is refused.
///
/// Decides only: it changes neither the session nor anything else (the
/// session step marks the session and keeps the wrong-password record).
/// Any thread; the session may be shared with other connections of the same
/// browser.
enum class Authorization { refused, stale, byBasic, byDigest, bySession, wrongCredentials, throttled };
Authorization authorize(StateStore& session, const AccessRules& rules, const Request& request,
                        std::uint64_t nowSeconds, bool sessionNamed = true, bool lockedOut = false);

} // namespace http
