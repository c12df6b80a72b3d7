#include "http/Authentication.h"

#include "http/Crypto.h"
#include "http/Digest.h"
#include "http/Nonce.h"
#include "message/Request.h"
#include "http/AccessRules.h"
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

Authorization digestMatches(StateStore& session, const AccessRules& rules, const Request& request,
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
    if (valueOf(sent, "realm") != rules.realm)
        return Authorization::refused;

    // The user name is compared exactly, as written.
    std::string username = valueOf(sent, "username");
    if (username != rules.username)
        return Authorization::wrongCredentials;

    std::string ha1 = md5Hex(username + ":" + rules.realm + ":" + rules.password);
    std::string ha2 = md5Hex(std::string(request.method == Request::post ? "POST" : "GET") + ":" + uri);
    std::string expected = md5Hex(ha1 + ":" + nonce + ":" + valueOf(sent, "nc") + ":"
                                  + valueOf(sent, "cnonce") + ":" + valueOf(sent, "qop") + ":" + ha2);
    if (expected.empty() || !equalSecret(expected, valueOf(sent, "response")))
        return Authorization::wrongCredentials;
    return age == NonceAge::fresh ? Authorization::byDigest : Authorization::stale;
}

Authorization checkCredentials(StateStore& session, const AccessRules& rules, const Request& request,
                               std::uint64_t nowSeconds, std::string_view header)
{
    constexpr std::string_view basic = "Basic ";
    if (header.starts_with(basic)) {
        std::string expected = base64(rules.username + ":" + rules.password);
        return equalSecret(header.substr(basic.size()), expected) ? Authorization::byBasic
                                                                   : Authorization::wrongCredentials;
    }
    constexpr std::string_view digest = "Digest ";
    if (header.starts_with(digest))
        return digestMatches(session, rules, request, parseDigestParameters(header.substr(digest.size())),
                             nowSeconds);
    return Authorization::refused;
}

} // namespace

Authorization authorize(StateStore& session, const AccessRules& rules, const Request& request,
                        std::uint64_t nowSeconds, bool sessionNamed, bool lockedOut)
{
    if (sessionNamed && session.get("authorized") == "true")
        return Authorization::bySession;

    auto found = request.headers.find("Authorization");
    if (found == request.headers.end())
        return Authorization::refused;
    if (lockedOut)
        return Authorization::throttled;
    return checkCredentials(session, rules, request, nowSeconds, found->second);
}

} // namespace http
