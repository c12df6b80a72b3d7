#include "http/Authentication.h"

#include "http/Crypto.h"
#include "http/Digest.h"
#include "http/Nonce.h"
#include "http/Request.h"
#include "http/Server.h"
#include "http/StateStore.h"
#include "http/UrlCoding.h"

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

    std::string username = valueOf(sent, "username");
    if (!server.isUser(username))
        return Authorization::refused;

    std::string ha1 = md5Hex(username + ":" + valueOf(sent, "realm") + ":" + server.passwordFor(username));
    std::string ha2 = md5Hex(std::string(request.method == Request::post ? "POST" : "GET") + ":" + uri);
    std::string expected = md5Hex(ha1 + ":" + nonce + ":" + valueOf(sent, "nc") + ":"
                                  + valueOf(sent, "cnonce") + ":" + valueOf(sent, "qop") + ":" + ha2);
    if (expected.empty() || !equalSecret(expected, valueOf(sent, "response")))
        return Authorization::refused;
    return age == NonceAge::fresh ? Authorization::byDigest : Authorization::stale;
}

} // namespace

Authorization authorize(StateStore& session, Server& server, const Request& request, std::uint64_t nowSeconds)
{
    if (session.get("authorized") == "true")
        return Authorization::bySession;

    auto found = request.headers.find("Authorization");
    if (found == request.headers.end())
        return Authorization::refused;
    std::string_view header = found->second;

    constexpr std::string_view basic = "Basic ";
    if (header.starts_with(basic)) {
        const std::string username = server.access()->username;
        std::string expected = base64(username + ":" + server.passwordFor(username));
        return equalSecret(header.substr(basic.size()), expected) ? Authorization::byBasic
                                                                   : Authorization::refused;
    }

    constexpr std::string_view digest = "Digest ";
    if (header.starts_with(digest)) {
        Authorization result = digestMatches(session, server, request,
                                             parseDigestParameters(header.substr(digest.size())), nowSeconds);
        if (result == Authorization::byDigest)
            session.set("authorized", "true");
        return result;
    }
    return Authorization::refused;
}

bool isAuthorized(StateStore& session, Server& server, const Request& request)
{
    Authorization result = authorize(session, server, request, secondsSinceEpoch());
    return result == Authorization::bySession || result == Authorization::byBasic
        || result == Authorization::byDigest;
}

} // namespace http
