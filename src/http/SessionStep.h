#pragma once

#include <string>

namespace http {

class Request;
class Response;
class Server;
class StateStore;

/// What the session step tells the connection about its current request.
struct SessionBinding {
    StateStore* session = nullptr;  // borrowed from the server's session table
    std::string cookieName;         // the realm text naming the cookie and parameter
};

/// The session step of the request cycle, run on the connection's thread for
/// every parsed request (also for parse failures): finds or creates the
/// request's session through its cookie or parameters, sets "Set-Cookie" on
/// `response` for a new session, and, when the server requires a password and
/// the request is not authorised, turns `request` into a 401 with both
/// challenges on `response`.
SessionBinding attachSession(Server& server, Request& request, Response& response);

} // namespace http
