#pragma once

#include <memory>
#include <string>

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
/// session through its cookie or parameters, accepting only ids the server
/// issued; issues a new session (with "Set-Cookie") when none is named; and,
/// when the server requires a password and the request is not authorised,
/// turns `request` into a 401 with both challenges on `response`. A session
/// that becomes authorised here gets a fresh id, sent with "Set-Cookie", so an
/// id known before the login is worth nothing after it.
SessionBinding attachSession(Server& server, Request& request, Response& response);

} // namespace http
