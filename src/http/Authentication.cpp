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

bool digestMatches(StateStore& session, Server& server, const Request& request,
                   const DigestParameters& sent)
{
    if (session.get("opaque") != valueOf(sent, "opaque"))
        return false;

    // The request's path arrived percent-decoded while the client quotes the
    // uri as it wrote it, so the uri is decoded the same way before the two
    // are compared; otherwise a path with an escaped byte could never pass.
    std::string uri = valueOf(sent, "uri");
    std::string uriPath = beforeQuery(uri);
    urlDecode(uriPath);
    if (beforeQuery(request.path) != uriPath)
        return false;

    std::string nonce = valueOf(sent, "nonce");
    if (!isOwnNonce(nonce))
        return false;

    std::string username = valueOf(sent, "username");
    if (!server.isUser(username))
        return false;

    std::string ha1 = md5Hex(username + ":" + valueOf(sent, "realm") + ":" + server.passwordFor(username));
    std::string ha2 = md5Hex(std::string(request.method == Request::post ? "POST" : "GET") + ":" + uri);
    std::string expected = md5Hex(ha1 + ":" + nonce + ":" + valueOf(sent, "nc") + ":"
                                  + valueOf(sent, "cnonce") + ":" + valueOf(sent, "qop") + ":" + ha2);
    return !expected.empty() && equalSecret(expected, valueOf(sent, "response"));
}

} // namespace

bool isAuthorized(StateStore& session, Server& server, const Request& request)
{
    if (session.get("authorized") == "true")
        return true;

    auto found = request.headers.find("Authorization");
    if (found == request.headers.end())
        return false;
    std::string_view header = found->second;

    constexpr std::string_view basic = "Basic ";
    if (header.starts_with(basic)) {
        std::string expected = base64(server.username + ":" + server.passwordFor(server.username));
        return equalSecret(header.substr(basic.size()), expected);
    }

    constexpr std::string_view digest = "Digest ";
    if (header.starts_with(digest)) {
        if (!digestMatches(session, server, request, parseDigestParameters(header.substr(digest.size()))))
            return false;
        session.set("authorized", "true");
        return true;
    }
    return false;
}

} // namespace http
