#include "http/Authentication.h"
#include "http/CookieStore.h"
#include "http/Crypto.h"
#include "http/Digest.h"
#include "http/LoginThrottle.h"
#include "http/Nonce.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/SessionStep.h"
#include "http/SessionTable.h"
#include "http/StateStore.h"
#include "http/support/AccountServer.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace http;
using Map = std::map<std::string, std::string>;

namespace {

// Cookie parsing goes through the protected map; this reads it back whole.
class CookieView : public CookieStore {
public:
    using CookieStore::CookieStore;
    Map all() { return Map(values.begin(), values.end()); }
};

using TestServer = testing_support::AccountServer;

struct Digest {
    std::string user = "alice";
    std::string realm = "Tunelet";
    std::string password = "s3cret";
    std::string method = "GET";
    std::string uri = "/index.html";
    std::string nonce;
    std::string nc = "00000001";
    std::string cnonce = "0a4f113b";
    std::string qop = "auth";
    std::string opaque;

    // Laid out as browsers send it: quoted values, ", " between parameters.
    std::string header() const
    {
        std::string ha1 = md5Hex(user + ":" + realm + ":" + password);
        std::string ha2 = md5Hex(method + ":" + uri);
        std::string response = md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":" + qop + ":" + ha2);
        return "Digest username=\"" + user + "\", realm=\"" + realm + "\", nonce=\"" + nonce + "\", uri=\"" + uri
            + "\", algorithm=MD5, response=\"" + response + "\", opaque=\"" + opaque + "\", qop=" + qop
            + ", nc=" + nc + ", cnonce=\"" + cnonce + "\"";
    }
};

struct Exchange {
    Request request;
    Response response;
    SessionBinding binding;
};

Exchange requestWith(TestServer& server, const Map& headers, const Map& params = {},
                     const std::string& path = "/index.html", int method = Request::get,
                     std::string_view address = "10.0.0.1")
{
    Exchange e;
    e.request.path = path;
    e.request.method = method;
    e.request.headers = HeaderMap(headers.begin(), headers.end());
    e.request.params = params;
    e.binding = attachSession(server.inputsFor(e.request.path), e.request, e.response, address);
    return e;
}

std::string header(const Response& response, const std::string& name)
{
    auto found = response.headers.find(name);
    return found == response.headers.end() ? "<none>" : found->second;
}

// The nonce that the Digest challenge of `response` names.
std::string challengedNonce(const Response& response)
{
    constexpr std::string_view scheme = "Digest ";
    const std::string text = header(response, "WWW-Authenticate");
    return text.starts_with(scheme) ? parseDigestParameters(std::string_view(text).substr(scheme.size()))["nonce"]
                                    : std::string();
}

/// A request without credentials, whose challenge `digest` then answers: its
/// opaque and the nonce the challenge names.
Exchange challengeFor(TestServer& server, Digest& digest)
{
    Exchange challenge = requestWith(server, {});
    digest.opaque = challenge.binding.session->get("opaque");
    digest.nonce = challengedNonce(challenge.response);
    return challenge;
}

std::string sessionIdFromCookie(const Response& response)
{
    std::smatch match;
    std::string cookie = header(response, "Set-Cookie");
    static const std::regex form(
        "Tunelet=([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}); SameSite=Lax");
    return std::regex_match(cookie, match, form) ? match[1].str() : std::string();
}

} // namespace

TEST(CookieStore, CutsAtSemicolonsAndSpaces)
{
    struct Case {
        std::string header;
        Map expected;
    };
    const Case cases[] = {
        {"", {}},
        {"Tunelet=abc", {{"Tunelet", "abc"}}},
        {"a=1; b=2", {{"a", "1"}, {"b", "2"}}},
        {";;  a=1;;;b=2 ;", {{"a", "1"}, {"b", "2"}}},
        {"a=1; a=2", {{"a", "2"}}},                    // a later cookie replaces
        {"flag; a=x=y", {{"a", "x=y"}}},               // no "=": ignored; first "=" splits
        {"a= 1", {{"a", ""}}},                         // the space cuts: "1" has no "="
        {"=v; e=", {{"", "v"}, {"e", ""}}},
    };
    for (const Case& c : cases) {
        CookieView cookies(c.header);
        EXPECT_EQ(cookies.all(), c.expected) << c.header;
    }
    CookieView cookies("Tunelet=id1");
    EXPECT_EQ(cookies.get("Tunelet"), "id1");
    EXPECT_EQ(cookies.get("missing"), "");
}

TEST(DigestParameters, ParsesAsSent)
{
    struct Case {
        std::string text;
        Map expected;
    };
    const Case cases[] = {
        {"", {}},
        {"username=\"alice\", realm=\"Tunelet\"", {{"username", "alice"}, {"realm", "Tunelet"}}},
        {"qop=auth,nc=00000001", {{"qop", "auth"}, {"nc", "00000001"}}},
        {"uri=\"/a b\"", {{"uri", "/a"}}},               // a space cuts the value
        {"uri=\"/a,b\"", {{"uri", "/a"}}},                // so does a comma
        {"a=1, a=2", {{"a", "2"}}},                       // later name wins
        {"x=\"\"\"", {{"x", "\""}}},                       // one quote dropped at each end only
        {"x=\"", {{"x", ""}}},
        {"nc=, cnonce", {{"nc", ""}}},                    // empty value kept, bare word ignored
        {"k=v=w", {{"k", "v=w"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDigestParameters(c.text), Map(c.expected)) << c.text;
}

TEST(Nonce, CarriesItsTimeAndVerifiesFromIt)
{
    std::string nonce = makeNonce(0x5f5e100);
    ASSERT_EQ(nonce.size(), 48u);
    EXPECT_EQ(nonce.substr(0, 16), "0000000005f5e100");
    EXPECT_TRUE(std::regex_match(nonce.substr(16), std::regex("[0-9a-f]{32}")));
    // The secret is the process's own, not a text anyone can read in the source.
    std::string hashed = "0000000005f5e100" "0d4e7a19c3b85f62e1a09d7c4b3f8265" + std::string(1, '\0');
    EXPECT_NE(nonce.substr(16), md5Hex(hashed));
    EXPECT_EQ(makeNonce(0x5f5e100), nonce);  // pure: the same time gives the same nonce
    EXPECT_EQ(makeNonce(~0ull).substr(0, 16), "ffffffffffffffff");

    EXPECT_EQ(nonceTime(nonce), 0x5f5e100u);
    EXPECT_TRUE(isOwnNonce(nonce));
    EXPECT_TRUE(isOwnNonce(makeNonce(12)));
    std::string later = makeNonce(0x5f5e101).substr(0, 16) + nonce.substr(16);
    EXPECT_FALSE(isOwnNonce(later));
    std::string upper = nonce;
    upper[13] = 'E';
    EXPECT_FALSE(isOwnNonce(upper));
    EXPECT_FALSE(isOwnNonce(nonce.substr(0, 47)));
    EXPECT_FALSE(isOwnNonce(nonce + "0"));
    EXPECT_FALSE(isOwnNonce(""));
    EXPECT_FALSE(nonceTime("00000000zz5e1000").has_value());

    const std::uint64_t now = 1'800'000'000;
    const std::pair<std::string, NonceAge> ages[] = {
        {makeNonce(now), NonceAge::fresh},
        {makeNonce(now - nonceLifetimeSeconds), NonceAge::fresh},
        {makeNonce(now + 2), NonceAge::fresh},  // a clock a little ahead
        {makeNonce(now - nonceLifetimeSeconds - 1), NonceAge::stale},
        {makeNonce(0), NonceAge::stale},
        {makeNonce(now + 3600), NonceAge::stale},
        {upper, NonceAge::foreign},
    };
    for (const auto& [text, age] : ages)
        EXPECT_EQ(nonceAge(text, now), age) << text;
}

TEST(Random, OpaqueAndSessionIdHaveTheirForms)
{
    std::set<std::string> opaques;
    for (int i = 0; i < 50; ++i) {
        std::string opaque = makeOpaque();
        EXPECT_TRUE(std::regex_match(opaque, std::regex("[0-9a-f]{16}"))) << opaque;
        opaques.insert(opaque);
    }
    EXPECT_EQ(opaques.size(), 50u);

    std::string id = newSessionId();
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}"))) << id;
    EXPECT_NE(newSessionId(), id);
}

TEST(SessionStep, CookieOrParameterNamesTheSession)
{
    TestServer server;
    Exchange first = requestWith(server, {});
    std::string id = sessionIdFromCookie(first.response);
    ASSERT_FALSE(id.empty()) << header(first.response, "Set-Cookie");
    EXPECT_EQ(first.binding.session, server.sessions().find(id));
    EXPECT_EQ(first.binding.cookieName, "Tunelet");
    EXPECT_EQ(first.request.status, 0);
    EXPECT_EQ(header(first.response, "WWW-Authenticate"), "<none>");
    EXPECT_EQ(first.request.authorizedSession, "");

    struct Case {
        const char* name;
        Map headers;
        Map params;
    };
    const Case sameSession[] = {
        {"cookie", {{"Cookie", "other=1; Tunelet=" + id}}, {}},
        {"cookie before parameter", {{"Cookie", "Tunelet=" + id}}, {{"auth", "elsewhere"}}},
    };
    for (const Case& c : sameSession) {
        Exchange e = requestWith(server, c.headers, c.params);
        EXPECT_EQ(e.binding.session, first.binding.session) << c.name;
        EXPECT_EQ(header(e.response, "Set-Cookie"), "<none>") << c.name;
    }

    Exchange second = requestWith(server, {});
    std::string otherId = sessionIdFromCookie(second.response);
    EXPECT_NE(otherId, id);
    EXPECT_NE(second.binding.session, first.binding.session);

    // An id the server never issued names nothing, and a session's id names
    // it only in the cookie: a new one is issued.
    for (const Case& c : std::initializer_list<Case>{{"made-up cookie", {{"Cookie", "Tunelet=mine"}}, {}},
                                                     {"made-up parameter", {}, {{"Tunelet", "mine"}}},
                                                     {"id in the realm parameter", {}, {{"Tunelet", id}}},
                                                     {"id in the auth parameter", {}, {{"auth", id}}}}) {
        Exchange chosen = requestWith(server, c.headers, c.params);
        std::string issued = sessionIdFromCookie(chosen.response);
        EXPECT_FALSE(issued.empty()) << c.name;
        EXPECT_EQ(server.sessions().find("mine"), nullptr) << c.name;
        EXPECT_NE(chosen.binding.session, first.binding.session) << c.name;
    }
}

TEST(SessionStep, ChallengesWithBothSchemes)
{
    TestServer server;
    server.setRequirePassword(true);
    Exchange e = requestWith(server, {});
    EXPECT_EQ(e.request.status, 401);
    EXPECT_EQ(e.request.reason, "Unauthorized");
    StateStore* session = e.binding.session.get();
    std::string nonce = challengedNonce(e.response);
    std::string opaque = session->get("opaque");
    EXPECT_TRUE(isOwnNonce(nonce));
    EXPECT_TRUE(std::regex_match(opaque, std::regex("[0-9a-f]{16}")));
    std::string head = e.response.headText();
    EXPECT_NE(head.find("\r\nWWW-Authenticate: Digest realm=\"Tunelet\" , qop=\"auth\" , nonce=\"" + nonce
                        + "\" , opaque=\"" + opaque + "\"\r\nWWW-Authenticate: Basic realm=\"Tunelet\"\r\n"),
              std::string::npos)
        << head;

    // The opaque stays the session's; the nonce is renewed with each challenge.
    std::string id = sessionIdFromCookie(e.response);
    Exchange again = requestWith(server, {{"Cookie", "Tunelet=" + id}});
    EXPECT_EQ(again.request.status, 401);
    EXPECT_EQ(session->get("opaque"), opaque);
    EXPECT_NE(header(again.response, "WWW-Authenticate").find("opaque=\"" + opaque + "\""), std::string::npos);

    // A parse failure is challenged too, a 500 is left alone.
    Request malformed;
    malformed.status = 400;
    Response response;
    attachSession(server.inputsFor(malformed.path), malformed, response);
    EXPECT_EQ(malformed.status, 401);
    Request failed;
    failed.status = 500;
    failed.reason = "Internal Server Error";
    Response failedResponse;
    attachSession(server.inputsFor(failed.path), failed, failedResponse);
    EXPECT_EQ(failed.status, 500);
    EXPECT_EQ(header(failedResponse, "WWW-Authenticate"), "<none>");
}

TEST(SessionStep, NoPasswordMeansNoChallenge)
{
    TestServer server;
    for (const Map& headers : {Map{}, Map{{"Authorization", "Basic garbage"}}, Map{{"Cookie", "Tunelet=x"}}}) {
        Exchange e = requestWith(server, headers);
        EXPECT_EQ(e.request.status, 0);
        EXPECT_EQ(e.response.headers.count("WWW-Authenticate"), 0u);
        EXPECT_EQ(e.request.authorizedSession, "");
    }
}

TEST(SessionStep, DigestAuthorisesTheSession)
{
    TestServer server;
    server.setRequirePassword(true);
    Exchange challenge = requestWith(server, {});
    std::string id = sessionIdFromCookie(challenge.response);
    std::shared_ptr<StateStore> session = challenge.binding.session;
    const std::string cookie = "Tunelet=" + id;

    Digest good;
    good.nonce = challengedNonce(challenge.response);
    good.opaque = session->get("opaque");

    // Refused: each wrong in one respect. None may authorise the session.
    Exchange other = requestWith(server, {});
    Digest foreignOpaque = good;
    foreignOpaque.opaque = other.binding.session->get("opaque");
    Digest movedNonce = good;
    movedNonce.nonce = makeNonce(*nonceTime(good.nonce) + 1).substr(0, 16) + good.nonce.substr(16);
    Digest forgedNonce = good;
    forgedNonce.nonce = std::string(16, '0') + std::string(32, 'a');
    Digest wrongUri = good;
    wrongUri.uri = "/other.html";
    Digest wrongPassword = good;
    wrongPassword.password = "guess";
    Digest wrongUser = good;
    wrongUser.user = "mallory";
    Digest noOpaque = good;
    noOpaque.opaque = "";
    const std::pair<const char*, std::string> refused[] = {
        {"another session's opaque", foreignOpaque.header()},
        {"nonce time altered", movedNonce.header()},
        {"nonce not ours", forgedNonce.header()},
        {"wrong uri", wrongUri.header()},
        {"wrong password", wrongPassword.header()},
        {"unknown user", wrongUser.header()},
        {"missing opaque", noOpaque.header()},
        {"response altered", good.header().replace(good.header().find("response=\"") + 10, 1, "x")},
        {"lower-case scheme", "digest" + good.header().substr(6)},
        {"no parameters", "Digest "},
    };
    for (const auto& [name, authorization] : refused) {
        Exchange e = requestWith(server, {{"Cookie", cookie}, {"Authorization", authorization}});
        EXPECT_EQ(e.request.status, 401) << name;
        EXPECT_EQ(e.request.authorizedSession, "") << name;
        EXPECT_NE(session->get("authorized"), "true") << name;
        good.nonce = challengedNonce(e.response);  // every challenge renews it; any own nonce will do
    }

    Exchange accepted = requestWith(server, {{"Cookie", cookie}, {"Authorization", good.header()}});
    EXPECT_EQ(accepted.request.status, 0);
    EXPECT_EQ(session->get("authorized"), "true");
    EXPECT_EQ(accepted.response.headers.count("WWW-Authenticate"), 0u);
    // The login moves the session to a fresh id: whoever knew the old one
    // (an attacker who planted it in a link) is left with nothing.
    std::string renewed = sessionIdFromCookie(accepted.response);
    ASSERT_FALSE(renewed.empty());
    EXPECT_NE(renewed, id);
    EXPECT_EQ(accepted.request.authorizedSession, renewed);
    EXPECT_EQ(accepted.binding.session, session);
    for (const Map& planted : {Map{{"auth", id}}, Map{{"Tunelet", id}}}) {
        Exchange attacker = requestWith(server, {}, planted);
        EXPECT_EQ(attacker.request.status, 401);
        EXPECT_NE(attacker.binding.session, session);
    }
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}}).request.status, 401);

    // From now on the new cookie alone will do.
    Exchange byCookie = requestWith(server, {{"Cookie", "Tunelet=" + renewed}});
    EXPECT_EQ(byCookie.request.status, 0);
    EXPECT_EQ(byCookie.request.authorizedSession, renewed);
    EXPECT_EQ(requestWith(server, {}).request.status, 401);  // a new browser still is not
}

TEST(SessionStep, UrlTokensOpenOnlyWhatPlayersFetch)
{
    TestServer server;
    server.setRequirePassword(true);
    // A Digest login through the cookie, and a Basic one that leaves its
    // session unauthorised: both sessions' tokens open downloads.
    Digest digest;
    Exchange challenge = challengeFor(server, digest);
    const std::string byDigest = sessionIdFromCookie(
        requestWith(server, {{"Cookie", "Tunelet=" + sessionIdFromCookie(challenge.response)},
                             {"Authorization", digest.header()}}).response);
    const std::string byBasic =
        requestWith(server, {{"Authorization", "Basic " + base64("alice:s3cret")}}).request.authorizedSession;
    ASSERT_FALSE(byDigest.empty());
    ASSERT_FALSE(byBasic.empty());

    for (const std::string& id : {byDigest, byBasic}) {
        const std::string token = server.sessions().urlToken(id);
        EXPECT_TRUE(std::regex_match(token, std::regex("[0-9a-f]{32}"))) << token;
        EXPECT_EQ(server.sessions().urlToken(id), token);
        struct Case {
            const char* name;
            std::string path;
            Map headers;
            Map params;
            bool served;
        };
        const Case cases[] = {
            {"token on a download", "/download", {}, {{"auth", token}}, true},
            {"token in the realm parameter", "/download", {}, {{"Tunelet", token}}, true},
            {"token beside another session's cookie", "/download", {{"Cookie", "Tunelet=" + byBasic}},
             {{"auth", token}}, true},
            {"token on another route", "/index.html", {}, {{"auth", token}}, false},
            {"token as the cookie", "/download", {{"Cookie", "Tunelet=" + token}}, {}, false},
            {"session id in the query", "/download", {}, {{"auth", id}}, false},
            {"token altered", "/download", {}, {{"auth", token.substr(1) + "0"}}, false},
        };
        for (const Case& c : cases) {
            Exchange e = requestWith(server, c.headers, c.params, c.path);
            EXPECT_EQ(e.request.status, c.served ? 0 : 401) << c.name;
            EXPECT_EQ(e.request.authorizedSession, c.served ? id : "") << c.name;
            EXPECT_EQ(header(e.response, "Set-Cookie") == "<none>", c.served) << c.name;
        }
    }
    // The Basic session's cookie still needs the password.
    EXPECT_EQ(requestWith(server, {{"Cookie", "Tunelet=" + byBasic}}).request.status, 401);
}

TEST(SessionStep, DigestDetails)
{
    TestServer server;
    server.setRequirePassword(true);
    auto freshSession = [&](Digest& digest) {
        Exchange challenge = challengeFor(server, digest);
        return "Tunelet=" + sessionIdFromCookie(challenge.response);
    };
    auto check = [&](const char* name, Digest digest, const std::string& target, int method, bool expected) {
        std::string cookie = freshSession(digest);
        Exchange e;
        e.request.parseText((method == Request::post ? "POST " : "GET ") + target + " HTTP/1.1\r\nCookie: " + cookie
                            + "\r\nAuthorization: " + digest.header() + "\r\n\r\n");
        e.binding = attachSession(server.inputsFor(e.request.path), e.request, e.response);
        EXPECT_EQ(e.request.status == 0, expected) << name;
    };

    // A correct answer to a nonce past its lifetime (or dated ahead) is
    // refused as stale, so the browser retries with the new one silently.
    const std::uint64_t now = secondsSinceEpoch();
    const std::pair<std::uint64_t, bool> nonceTimes[] = {
        {1000, false}, {now - nonceLifetimeSeconds - 5, false}, {now + 3600, false},
        {now - nonceLifetimeSeconds + 30, true},
    };
    for (const auto& [made, accepted] : nonceTimes) {
        Digest digest;
        Exchange challenge = requestWith(server, {});
        digest.opaque = challenge.binding.session->get("opaque");
        digest.nonce = makeNonce(made);
        Exchange e = requestWith(server, {{"Cookie", "Tunelet=" + sessionIdFromCookie(challenge.response)},
                                          {"Authorization", digest.header()}});
        EXPECT_EQ(e.request.status, accepted ? 0 : 401) << made;
        EXPECT_EQ(header(e.response, "WWW-Authenticate").find(" , stale=true") != std::string::npos, !accepted)
            << made;
    }

    // The uri must be the whole target: an answer for one query is no good for another.
    Digest query;
    query.uri = "/getvolume?x=A";
    check("uri with its query", query, "/getvolume?x=A", Request::get, true);
    check("uri for another query", query, "/getvolume?x=B", Request::get, false);
    check("uri without the query", query, "/getvolume", Request::get, false);
    Digest noQuery;
    noQuery.uri = "/getvolume";
    check("uri lacking the query", noQuery, "/getvolume?x=A", Request::get, false);
    Digest escapedQuery;
    escapedQuery.uri = "/a%20b?x=%41";
    check("uri and target escaped alike", escapedQuery, "/a%20b?x=%41", Request::get, true);
    check("query escaped otherwise", escapedQuery, "/a%20b?x=A", Request::get, false);
    Digest escaped;
    escaped.uri = "/my%20song.mp3";
    check("path escaped otherwise", escaped, "/my%20s%6fng.mp3", Request::get, true);
    // Names in small letters, as gateways and some clients send them, are found too.
    Digest lower;
    const std::string lowerCookie = freshSession(lower);
    Exchange small;
    small.request.parseText("GET /index.html HTTP/1.1\r\ncookie: " + lowerCookie + "\r\nauthorization: "
                            + lower.header() + "\r\n\r\n");
    small.binding = attachSession(server.inputsFor(small.request.path), small.request, small.response);
    EXPECT_EQ(small.request.status, 0);
    EXPECT_EQ(small.response.headers.count("Set-Cookie"), 1u);  // the fresh id of the login
    EXPECT_EQ(small.binding.session->get("authorized"), "true");
    Digest post;
    post.method = "POST";
    check("POST hashed as POST", post, "/index.html", Request::post, true);
    check("POST hash on a GET", post, "/index.html", Request::get, false);
    Digest otherRealm;
    otherRealm.realm = "elsewhere";  // hashed right, but against a realm of the client's choosing
    check("client's realm", otherRealm, "/index.html", Request::get, false);
    Digest emptyNc;
    emptyNc.nc = "";
    check("empty nc hashed as empty", emptyNc, "/index.html", Request::get, true);
}

TEST(SessionStep, DigestWithoutCookiesIsFoundByItsOpaque)
{
    TestServer server;
    server.setRequirePassword(true);
    auto challenged = [&](Digest& digest) {
        Exchange challenge = challengeFor(server, digest);
        return std::pair(sessionIdFromCookie(challenge.response), challenge.binding.session);
    };
    // As curl and urllib do: every request answers the first challenge,
    // none carries the cookie. Each is checked in full and authorises
    // itself only, so a replayed opaque is worth nothing without the answer.
    Digest digest;
    auto [id, session] = challenged(digest);
    for (const char* nc : {"00000001", "00000002"}) {
        digest.nc = nc;
        Exchange e = requestWith(server, {{"Authorization", digest.header()}});
        EXPECT_EQ(e.request.status, 0) << nc;
        EXPECT_EQ(e.request.authorizedSession, id) << nc;
        EXPECT_EQ(header(e.response, "Set-Cookie"), "<none>") << nc;
    }
    EXPECT_NE(session->get("authorized"), "true");

    // A session authorised through its cookie is still no key to its opaque.
    Digest browser;
    auto [browserId, browserSession] = challenged(browser);
    EXPECT_EQ(requestWith(server, {{"Cookie", "Tunelet=" + browserId}, {"Authorization", browser.header()}})
                  .request.status, 0);
    ASSERT_EQ(browserSession->get("authorized"), "true");
    Digest guess = browser;
    guess.password = "guess";
    Exchange guessed = requestWith(server, {{"Authorization", guess.header()}});
    EXPECT_EQ(guessed.request.status, 401);
    EXPECT_NE(header(guessed.response, "WWW-Authenticate").find("opaque=\"" + browser.opaque + "\""), std::string::npos);
}

TEST(LoginThrottle, LocksOneAddressLongerAfterEachWrongPassword)
{
    using namespace std::chrono_literals;
    auto now = std::make_shared<LoginThrottle::Clock::time_point>();
    LoginThrottle throttle([now] { return *now; }, 3);
    struct Step {
        std::chrono::seconds later;  // before the step
        enum { fail, succeed, look } action;
        const char* address;
        std::chrono::seconds lockedFor;  // afterwards, for the address
    };
    const Step steps[] = {
        {0s, Step::fail, "a", 0s}, {0s, Step::fail, "a", 0s}, {0s, Step::fail, "a", 0s},
        {0s, Step::fail, "a", 0s}, {0s, Step::fail, "a", 0s},        // five for free
        {0s, Step::fail, "a", 1s}, {0s, Step::look, "b", 0s},        // others unaffected
        {1s, Step::look, "a", 0s}, {0s, Step::fail, "a", 2s},        // twice as long each time
        {2s, Step::fail, "a", 4s}, {4s, Step::fail, "a", 8s},
        {8s, Step::fail, "a", 16s}, {16s, Step::fail, "a", 32s},
        {32s, Step::fail, "a", 64s}, {64s, Step::fail, "a", 64s},    // never past the longest
        {1s, Step::look, "a", 63s},
        {64s, Step::succeed, "a", 0s}, {0s, Step::fail, "a", 0s},    // a right password wipes the record
        {1s, Step::fail, "c", 0s}, {1s, Step::fail, "d", 0s},        // "a" is the oldest of three
        {1s, Step::fail, "e", 0s},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Step& step = steps[i];
        *now += step.later;
        if (step.action == Step::fail)
            throttle.failed(step.address);
        else if (step.action == Step::succeed)
            throttle.succeeded(step.address);
        EXPECT_EQ(throttle.lockedFor(step.address), step.lockedFor) << "step " << i;
    }
    // "a" went for "e", and a quarter of an hour without a failure forgets
    // "e": five more failures are the first five of each.
    *now += LoginThrottle::memory;
    for (const char* address : {"a", "e"}) {
        for (int i = 0; i < LoginThrottle::freeFailures; ++i)
            throttle.failed(address);
        EXPECT_EQ(throttle.lockedFor(address), 0s) << address;
    }
}

TEST(SessionStep, WrongPasswordsShutOutTheirAddressOnly)
{
    TestServer server;
    server.setRequirePassword(true);
    auto now = std::make_shared<LoginThrottle::Clock::time_point>();
    server.throttle().useClock([now] { return *now; });
    const Map wrong = {{"Authorization", "Basic " + base64("alice:guess")}};
    const Map right = {{"Authorization", "Basic " + base64("alice:s3cret")}};

    // A browser logged in from the guessing address before.
    Digest digest;
    Exchange challenge = challengeFor(server, digest);
    const std::string cookie = "Tunelet=" + sessionIdFromCookie(
        requestWith(server, {{"Cookie", "Tunelet=" + sessionIdFromCookie(challenge.response)},
                             {"Authorization", digest.header()}}).response);

    // Guesses from several connections at once count alike.
    std::vector<std::thread> guessers;
    for (int t = 0; t < LoginThrottle::freeFailures + 1; ++t)
        guessers.emplace_back([&] { EXPECT_EQ(requestWith(server, wrong).request.status, 401); });
    for (std::thread& guesser : guessers)
        guesser.join();
    Exchange locked = requestWith(server, right);
    EXPECT_EQ(locked.request.status, 429);
    EXPECT_EQ(locked.request.reason, "Too Many Requests");
    EXPECT_EQ(header(locked.response, "Retry-After"), "1");
    EXPECT_EQ(header(locked.response, "Connection"), "close");
    EXPECT_EQ(header(locked.response, "WWW-Authenticate"), "<none>");
    EXPECT_EQ(requestWith(server, right, {}, "/index.html", Request::get, "10.0.0.2").request.status, 0);
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}}).request.status, 0);

    *now += std::chrono::seconds(1);
    EXPECT_EQ(requestWith(server, right).request.status, 0);
    EXPECT_EQ(requestWith(server, wrong).request.status, 401);  // the record was wiped
}

TEST(SessionStep, BasicIsCheckedOnEveryRequest)
{
    TestServer server;
    server.setRequirePassword(true);
    Exchange first = requestWith(server, {{"Authorization", "Basic " + base64("alice:s3cret")}});
    EXPECT_EQ(first.request.status, 0);
    std::string id = sessionIdFromCookie(first.response);
    EXPECT_EQ(first.request.authorizedSession, id);
    EXPECT_NE(first.binding.session->get("authorized"), "true");

    const std::string cookie = "Tunelet=" + id;
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}, {"Authorization", "Basic " + base64("alice:s3cret")}})
                  .request.status, 0);
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}}).request.status, 401);

    const std::string refused[] = {
        "Basic " + base64("alice:wrong"), "Basic " + base64("bob:s3cret"), "Basic " + base64("alice:s3cret") + "=",
        "Basic  " + base64("alice:s3cret"), "basic " + base64("alice:s3cret"), "Bearer x",
    };
    for (const std::string& authorization : refused)
        EXPECT_EQ(requestWith(server, {{"Cookie", cookie}, {"Authorization", authorization}}).request.status, 401)
            << authorization;
}

TEST(SessionStep, ConnectionsOfOneBrowserShareTheSession)
{
    TestServer server;
    auto [id, session] = server.sessions().issue();
    server.setRequirePassword(true);
    const std::string cookie = "Tunelet=" + id;
    constexpr int threads = 8;
    constexpr int rounds = 50;
    std::vector<std::shared_ptr<StateStore>> seen(threads);
    std::vector<std::set<std::string>> opaques(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                Exchange e = requestWith(server, {{"Cookie", cookie}});
                seen[t] = e.binding.session;
                EXPECT_EQ(e.request.status, 401);
                std::string text = header(e.response, "WWW-Authenticate");
                opaques[t].insert(text.substr(text.find("opaque=\"") + 8, 16));
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    std::set<std::string> allOpaques;
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(seen[t], session);
        allOpaques.insert(opaques[t].begin(), opaques[t].end());
    }
    EXPECT_EQ(allOpaques.size(), 1u);  // every challenge named the session's one opaque
    Digest digest;
    digest.opaque = *allOpaques.begin();
    digest.nonce = makeNonce(secondsSinceEpoch());  // as the server makes them
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}, {"Authorization", digest.header()}}).request.status, 0);
    EXPECT_EQ(session->get("authorized"), "true");
}

TEST(SessionStep, SessionsExpireAndTheTableStaysBounded)
{
    TestServer server;
    auto now = std::make_shared<SessionTable::Clock::time_point>();
    server.sessions().useClock([now] { return *now; });
    auto idOf = [](const Exchange& e) { return sessionIdFromCookie(e.response); };

    std::string kept = idOf(requestWith(server, {}));
    std::string idle = idOf(requestWith(server, {}));
    // Used 23 hours apart: still alive. Not used for 24 hours: gone, and a
    // new id is issued.
    for (int i = 0; i < 3; ++i) {
        *now += std::chrono::hours(23);
        Exchange e = requestWith(server, {{"Cookie", "Tunelet=" + kept}});
        EXPECT_EQ(header(e.response, "Set-Cookie"), "<none>") << i;
    }
    EXPECT_EQ(server.sessions().find(idle), nullptr);
    Exchange late = requestWith(server, {{"Cookie", "Tunelet=" + idle}});
    EXPECT_FALSE(idOf(late).empty());
    EXPECT_NE(idOf(late), idle);

    // An authorised session outlives a flood of cookie-less requests, which
    // leave the table no larger than its capacity.
    server.setRequirePassword(true);
    Digest digest;
    Exchange challenge = challengeFor(server, digest);
    Exchange login = requestWith(server, {{"Cookie", "Tunelet=" + idOf(challenge)}, {"Authorization", digest.header()}});
    std::string authorised = idOf(login);
    ASSERT_FALSE(authorised.empty());
    // So does the URL token of a Basic login, whose session stays unauthorised.
    const std::string token = server.sessions().urlToken(
        requestWith(server, {{"Authorization", "Basic " + base64("alice:s3cret")}}).request.authorizedSession);
    server.setRequirePassword(false);
    for (int i = 0; i < 100000; ++i)
        requestWith(server, {});
    EXPECT_EQ(server.sessions().size(), SessionTable::defaultCapacity);
    EXPECT_EQ(server.sessions().find(kept), nullptr);
    ASSERT_NE(server.sessions().find(authorised), nullptr);
    EXPECT_EQ(server.sessions().find(authorised)->get("authorized"), "true");
    EXPECT_NE(server.sessions().findByUrlToken(token).second, nullptr);
}

// The check alone, with no table, throttle or listener: it only decides, and
// compares the user name exactly.
TEST(Authorize, DecidesWithoutChangingAnything)
{
    const AccessRules rules{.requirePassword = true, .username = "Ann", .password = "pw"};
    const std::string basicRight = "Basic " + base64("Ann:pw");
    struct Case {
        const char* name;
        Map headers;
        bool authorised;  // the session is marked authorised
        bool sessionNamed;
        bool lockedOut;
        Authorization expected;
    };
    const Case cases[] = {
        {"nothing sent", {}, false, true, false, Authorization::refused},
        {"right Basic", {{"Authorization", basicRight}}, false, true, false, Authorization::byBasic},
        {"user in another case", {{"Authorization", "Basic " + base64("ann:pw")}}, false, true, false,
         Authorization::wrongCredentials},
        {"empty user", {{"Authorization", "Basic " + base64(":pw")}}, false, true, false,
         Authorization::wrongCredentials},
        {"locked out", {{"Authorization", basicRight}}, false, true, true, Authorization::throttled},
        {"locked out, nothing sent", {}, false, true, true, Authorization::refused},
        {"authorised session", {}, true, true, true, Authorization::bySession},
        {"authorised session not named", {}, true, false, false, Authorization::refused},
        {"unknown scheme", {{"Authorization", "Bearer x"}}, false, true, false, Authorization::refused},
    };
    for (const Case& c : cases) {
        StateStore session;
        if (c.authorised)
            session.set("authorized", "true");
        Request request;
        request.path = "/index.html";
        request.headers = HeaderMap(c.headers.begin(), c.headers.end());
        EXPECT_EQ(authorize(session, rules, request, secondsSinceEpoch(), c.sessionNamed, c.lockedOut), c.expected)
            << c.name;
        EXPECT_EQ(session.get("authorized"), c.authorised ? "true" : "") << c.name;
    }
}

TEST(SessionStep, NoLineBreakReachesTheAnswer)
{
    // A realm with line breaks in it.
    TestServer server;
    server.setRequirePassword(true);
    for (const std::string& path : {std::string("/a\r\nX-Injected: 1"), std::string("/a\nX-Injected: 1"), std::string("/a\0\r\nX-Injected: 1", 18)}) {
        server.rules.realm = path;
        Exchange e = requestWith(server, {}, {}, path);
        std::string head = e.response.headText();
        EXPECT_EQ(head.find("\nX-Injected"), std::string::npos) << head;
        EXPECT_EQ(head.find('\0'), std::string::npos);
        EXPECT_NE(head.find("Digest realm=\"/aX-Injected: 1\""), std::string::npos) << head;
        EXPECT_NE(head.find("Set-Cookie: /aX-Injected: 1="), std::string::npos) << head;
    }
}
