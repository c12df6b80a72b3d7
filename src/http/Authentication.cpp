#include "http/Authentication.h"

#include "http/Crypto.h"
#include "http/Digest.h"
#include "http/Nonce.h"
#include "message/Request.h"
#include "http/Server.h"
#include "http/StateStore.h"
#include "message/UrlCoding.h"

namespace http {
namespace {

std::string valueOf(const DigestParameters& parameters, const std::string& name)
{
    auto found = parameters.find(name);
    return found == parameters.end() ? std::string() : found->second;
}

std::string beforeQuery(std::string_view text)
{
    return std::string(text.substr(0, text.find('?')));
}

/// The client quotes the target as it wrote it in the request line; a
/// client that escaped its path differently there still names the same
/// path, but the query must be the very same text, so that an answer
/// captured for one command cannot be replayed for another.
bool namesTarget(const std::string& uri, const Request& request)
{
    if (uri == request.target)
        return true;
    std::size_t mark = uri.find('?');
    std::string uriPath = beforeQuery(uri);
    urlDecode(uriPath);
    std::string_view uriQuery = mark == std::string::npos ? std::string_view() : std::string_view(uri).substr(mark + 1);
    return uriPath == request.path && uriQuery == request.query;
}

Authorization digestMatches(StateStore& session, Server& server, const Request& request,
                            const DigestParameters& sent, std::uint64_t nowSeconds)
{
    if (session.get("opaque") != valueOf(sent, "opaque"))
        return Authorization::refused;

    std::string uri = valueOf(sent, "uri");
    if (!namesTarget(uri, request))
        return Authorization::refused;

    std::string nonce = valueOf(sent, "nonce");
    NonceAge age = nonceAge(nonce, nowSeconds);
    if (age == NonceAge::foreign)
        return Authorization::refused;

    // The password is hashed with our realm only: a client may not choose
    // the text its answer is checked against.
    const std::string realm = server.realm(request.path);
    if (valueOf(sent, "realm") != realm)
        return Authorization::refused;

    std::string username = valueOf(sent, "username");
    if (!server.isUser(username))
        return Authorization::wrongCredentials;

    std::string ha1 = md5Hex(username + ":" + realm + ":" + server.passwordFor(username));
    std::string ha2 = md5Hex(std::string(request.method == Request::post ? "POST" : "GET") + ":" + uri);
    std::string expected = md5Hex(ha1 + ":" + nonce + ":" + valueOf(sent, "nc") + ":"
                                  + valueOf(sent, "cnonce") + ":" + valueOf(sent, "qop") + ":" + ha2);
    if (expected.empty() || !equalSecret(expected, valueOf(sent, "response")))
        return Authorization::wrongCredentials;
    return age == NonceAge::fresh ? Authorization::byDigest : Authorization::stale;
}

Authorization checkCredentials(StateStore& session, Server& server, const Request& request, std::uint64_t nowSeconds,
                               std::string_view header)
{
    constexpr std::string_view basic = "Basic ";
    if (header.starts_with(basic)) {
        const std::string username = server.access()->username;
        std::string expected = base64(username + ":" + server.passwordFor(username));
        return equalSecret(header.substr(basic.size()), expected) ? Authorization::byBasic
                                                                   : Authorization::wrongCredentials;
    }
    constexpr std::string_view digest = "Digest ";
    if (header.starts_with(digest))
        return digestMatches(session, server, request, parseDigestParameters(header.substr(digest.size())),
                             nowSeconds);
    return Authorization::refused;
}

} // namespace

Authorization authorize(StateStore& session, Server& server, const Request& request, std::uint64_t nowSeconds,
                        std::string_view clientAddress, bool sessionNamed)
{
    if (sessionNamed && session.get("authorized") == "true")
        return Authorization::bySession;

    auto found = request.headers.find("Authorization");
    if (found == request.headers.end())
        return Authorization::refused;
    LoginThrottle& throttle = server.throttle();
    if (throttle.lockedFor(clientAddress).count() > 0)
        return Authorization::throttled;

    Authorization result = checkCredentials(session, server, request, nowSeconds, found->second);
    if (result == Authorization::wrongCredentials)
        throttle.failed(clientAddress);
    else if (result == Authorization::byBasic || result == Authorization::byDigest || result == Authorization::stale)
        throttle.succeeded(clientAddress);
    if (result == Authorization::byDigest && sessionNamed)
        session.set("authorized", "true");
    return result;
}

bool isAuthorized(StateStore& session, Server& server, const Request& request)
{
    Authorization result = authorize(session, server, request, secondsSinceEpoch());
    return result == Authorization::bySession || result == Authorization::byBasic
        || result == Authorization::byDigest;
}

} // namespace http
