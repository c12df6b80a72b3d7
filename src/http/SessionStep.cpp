#include "http/SessionStep.h"

#include "http/Authentication.h"
#include "http/CookieStore.h"
#include "http/Digest.h"
#include "http/Nonce.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/AccessRules.h"
#include "http/LoginThrottle.h"
#include "http/SessionTable.h"
#include "http/StateStore.h"

#include <algorithm>

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

void challenge(Response& response, const std::string& name, SessionTable& table, const std::string& sessionId,
               StateStore& session, bool stale)
{
    std::string nonce = makeNonce(secondsSinceEpoch());
    // Other connections of the same browser may be challenged at the same
    // moment: the first opaque stored stays, and every challenge names it.
    std::string opaque = session.setIfEmpty("opaque", makeOpaque());
    table.noteOpaque(sessionId, opaque);
    response.headers["WWW-Authenticate"] = "Digest realm=\"" + name + "\" , qop=\"auth\" , nonce=\"" + nonce
        + "\" , opaque=\"" + opaque + "\"" + (stale ? " , stale=true" : "");
    response.addLine("WWW-Authenticate", "Basic realm=\"Tunelet\"");
}

/// The opaque of a Digest "Authorization" header; empty for any other.
std::string sentOpaque(const Request& request)
{
    constexpr std::string_view digest = "Digest ";
    auto found = request.headers.find("Authorization");
    if (found == request.headers.end() || !std::string_view(found->second).starts_with(digest))
        return {};
    DigestParameters sent = parseDigestParameters(std::string_view(found->second).substr(digest.size()));
    auto opaque = sent.find("opaque");
    return opaque == sent.end() ? std::string() : opaque->second;
}

/// How the request named its session.
enum class Named { none, byCookie, byUrlToken, byOpaque };

} // namespace

SessionBinding attachSession(const SessionInputs& inputs, Request& request, Response& response,
                             std::string_view clientAddress)
{
    std::string name = inputs.rules.realm;
    auto cookieHeader = request.headers.find("Cookie");
    CookieStore cookies(cookieHeader == request.headers.end() ? std::string_view() : cookieHeader->second);

    // Only the cookie names a session for everything. On the routes media
    // players fetch, a URL token in the query names its session first (it
    // opens them whatever cookie the player has picked up). Without a live
    // session so far, a Digest answer names the session whose challenge it
    // answers (clients that keep no cookies). An id or a key this server
    // did not issue (made up, expired, or dropped at a login) counts as none.
    SessionTable& table = inputs.sessions;
    std::string sessionId;
    std::shared_ptr<StateStore> session;
    Named named = Named::none;
    if (inputs.opensWithUrlToken) {
        for (const std::string& token : {parameter(request, name), parameter(request, "auth")}) {
            std::tie(sessionId, session) = table.findByUrlToken(token);
            if (session) {
                named = Named::byUrlToken;
                break;
            }
        }
    }
    if (!session) {
        sessionId = cookies.get(name);
        session = sessionId.empty() ? nullptr : table.find(sessionId);
        if (session)
            named = Named::byCookie;
    }
    if (!session) {
        std::tie(sessionId, session) = table.findByOpaque(sentOpaque(request));
        if (session)
            named = Named::byOpaque;
    }
    if (!session) {
        std::tie(sessionId, session) = table.issue();
        setCookie(response, name, sessionId);
    }

    if (inputs.rules.requirePassword && request.status != 500) {
        // A URL token alone opens the routes it is given on. Only a session
        // named by its cookie stays authorised: one found by the opaque alone
        // has each of its requests checked.
        const bool sessionNamed = named != Named::byOpaque;
        Authorization result = named == Named::byUrlToken
            ? Authorization::bySession
            : authorize(*session, inputs.rules, request, secondsSinceEpoch(), sessionNamed,
                        inputs.throttle.lockedFor(clientAddress).count() > 0);
        if (result == Authorization::wrongCredentials)
            inputs.throttle.failed(clientAddress);
        else if (result == Authorization::byBasic || result == Authorization::byDigest || result == Authorization::stale)
            inputs.throttle.succeeded(clientAddress);
        if (result == Authorization::byDigest && sessionNamed) {
            session->set("authorized", "true");
            std::string renewed = table.reissueAuthorised(sessionId);
            if (!renewed.empty()) {
                sessionId = renewed;
                setCookie(response, name, sessionId);
            }
        }
        if (result == Authorization::byDigest || result == Authorization::byBasic
            || result == Authorization::bySession) {
            request.authorizedSession = sessionId;
        } else if (result == Authorization::throttled) {
            // Too many wrong passwords from this address: nothing is checked
            // until the wait is over, and the client is told how long it is.
            const std::chrono::seconds wait = inputs.throttle.lockedFor(clientAddress);
            response.headers["Retry-After"] = std::to_string(std::max<std::chrono::seconds::rep>(wait.count(), 1));
            response.headers["Connection"] = "close";
            request.status = 429;
            request.reason = "Too Many Requests";
        } else {
            challenge(response, name, table, sessionId, *session, result == Authorization::stale);
            request.status = 401;
            request.reason = "Unauthorized";
        }
    }
    return SessionBinding{std::move(session), std::move(name)};
}

} // namespace http
