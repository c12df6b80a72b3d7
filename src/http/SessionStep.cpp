#include "http/SessionStep.h"

#include "http/Authentication.h"
#include "http/CookieStore.h"
#include "http/Nonce.h"
#include "http/Request.h"
#include "http/Response.h"
#include "http/Server.h"
#include "http/StateStore.h"

#include <chrono>

namespace http {
namespace {

std::string parameter(const Request& request, const std::string& name)
{
    auto found = request.params.find(name);
    return found == request.params.end() ? std::string() : found->second;
}

std::uint64_t secondsNow()
{
    auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

} // namespace

SessionBinding attachSession(Server& server, Request& request, Response& response)
{
    std::string name = server.realm(request.path);
    auto cookieHeader = request.headers.find("Cookie");
    CookieStore cookies(cookieHeader == request.headers.end() ? std::string_view() : cookieHeader->second);

    std::string sessionId = cookies.get(name);
    if (sessionId.empty())
        sessionId = parameter(request, name);
    if (sessionId.empty())
        sessionId = parameter(request, "auth");
    if (sessionId.empty()) {
        sessionId = newSessionId();
        response.headers["Set-Cookie"] = name + "=" + sessionId + ";";
    }

    StateStore* session = server.sessionFor(sessionId);
    if (server.requirePassword && request.status != 500) {
        if (isAuthorized(*session, server, request)) {
            request.authorizedSession = sessionId;
        } else {
            std::string nonce = makeNonce(secondsNow());
            session->set("nonce", nonce);
            // Other connections of the same browser may be challenged at the
            // same moment: the first opaque stored stays, and every challenge
            // names that one.
            std::string opaque = session->setIfEmpty("opaque", makeOpaque());
            response.headers["WWW-Authenticate"] = "Digest realm=\"" + name + "\" , qop=\"auth\" , nonce=\""
                + nonce + "\" , opaque=\"" + opaque + "\"\r\nWWW-Authenticate: Basic realm=\"Tunelet\"";
            request.status = 401;
            request.reason = "Unauthorized";
        }
    }
    return SessionBinding{session, name};
}

} // namespace http
