#include "http/SessionStep.h"

#include "http/Authentication.h"
#include "http/CookieStore.h"
#include "http/Nonce.h"
#include "http/Request.h"
#include "http/Response.h"
#include "http/Server.h"
#include "http/StateStore.h"

namespace http {
namespace {

std::string parameter(const Request& request, const std::string& name)
{
    auto found = request.params.find(name);
    return found == request.params.end() ? std::string() : found->second;
}

void setCookie(Response& response, const std::string& name, const std::string& id)
{
    // Lax keeps the cookie off requests that other sites' pages make.
    response.headers["Set-Cookie"] = name + "=" + id + "; SameSite=Lax";
}

void challenge(Response& response, const std::string& name, StateStore& session, bool stale)
{
    std::string nonce = makeNonce(secondsSinceEpoch());
    session.set("nonce", nonce);
    // Other connections of the same browser may be challenged at the same
    // moment: the first opaque stored stays, and every challenge names it.
    std::string opaque = session.setIfEmpty("opaque", makeOpaque());
    response.headers["WWW-Authenticate"] = "Digest realm=\"" + name + "\" , qop=\"auth\" , nonce=\"" + nonce
        + "\" , opaque=\"" + opaque + "\"" + (stale ? " , stale=true" : "");
    response.addLine("WWW-Authenticate", "Basic realm=\"Tunelet\"");
}

} // namespace

SessionBinding attachSession(Server& server, Request& request, Response& response)
{
    std::string name = server.realm(request.path);
    auto cookieHeader = request.headers.find("Cookie");
    CookieStore cookies(cookieHeader == request.headers.end() ? std::string_view() : cookieHeader->second);

    // The first named id this server issued wins; an id it does not know
    // (made up, expired, or dropped at a login) counts as none.
    SessionTable& table = server.sessions();
    std::string sessionId;
    std::shared_ptr<StateStore> session;
    for (const std::string& candidate : {cookies.get(name), parameter(request, name), parameter(request, "auth")}) {
        if (candidate.empty())
            continue;
        session = table.find(candidate);
        if (session) {
            sessionId = candidate;
            break;
        }
    }
    if (!session) {
        std::tie(sessionId, session) = table.issue();
        setCookie(response, name, sessionId);
    }

    if (server.access()->requirePassword && request.status != 500) {
        Authorization result = authorize(*session, server, request, secondsSinceEpoch());
        if (result == Authorization::byDigest) {
            std::string renewed = table.reissueAuthorised(sessionId);
            if (!renewed.empty()) {
                sessionId = renewed;
                setCookie(response, name, sessionId);
            }
        }
        if (result == Authorization::byDigest || result == Authorization::byBasic
            || result == Authorization::bySession) {
            request.authorizedSession = sessionId;
        } else {
            challenge(response, name, *session, result == Authorization::stale);
            request.status = 401;
            request.reason = "Unauthorized";
        }
    }
    return SessionBinding{std::move(session), std::move(name)};
}

} // namespace http
