#pragma once

#include "http/CookieStore.h"

#include <cstdint>
#include <map>
#include <string>

namespace http {
class Request;
class LaterAnswering;
class Response;
class SessionTable;
class StateStore;
} // namespace http

namespace webapp {

class TuneletServer;

/// What a route handler receives for one request. Built on the serving
/// thread by `TuneletRequestThread::handle` and dropped when the answer is
/// sent; it borrows the request, the response and the session.
struct RequestContext {
    /// Reads the cookies from the request's "Cookie" header and copies its
    /// parameters.
    RequestContext(http::Request& request, http::Response& response, http::StateStore* session,
                   std::string routeName, std::string sessionCookieName);

    /// The parsed request; `authorizedSession` holds the session id of an
    /// authorised request.
    http::Request& request;
    /// Starts as 200 "OK" with the default content type.
    http::Response& response;
    /// The request's session (owned by the server's session table).
    http::StateStore* session;
    http::CookieStore cookies;
    /// The path without its leading slashes.
    std::string routeName;
    /// Query and form parameters.
    std::map<std::string, std::string> params;
    /// Names the session cookie (the server's realm, "Tunelet").
    std::string sessionCookieName;
    /// The connection the request came on, which can put an answer off
    /// until the player's thread has answered; none offline.
    http::LaterAnswering* connection = nullptr;
    /// The server's sessions; none offline.
    http::SessionTable* sessions = nullptr;
    /// The server the request came to; none offline.
    TuneletServer* server = nullptr;
    /// The client's IPv4 address, network order; 0 offline or unknown.
    std::uint32_t peer = 0;

    /// What the URLs handed out for this request carry in "auth": the URL
    /// token of its authorised session (made at the first need), which opens
    /// only downloads and streams; empty when the request is not authorised
    /// by a password (none is required) or offline.
    std::string urlToken() const;
};

} // namespace webapp
