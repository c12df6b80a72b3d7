#include "http/Authentication.h"
#include "http/CookieStore.h"
#include "http/Crypto.h"
#include "http/Digest.h"
#include "http/Nonce.h"
#include "http/Random.h"
#include "http/Request.h"
#include "http/Response.h"
#include "http/Server.h"
#include "http/SessionStep.h"
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

Exchange requestWith(Server& server, const Map& headers, const Map& params = {},
                     const std::string& path = "/index.html", int method = Request::get)
{
    Exchange e;
    e.request.path = path;
    e.request.method = method;
    e.request.headers = headers;
    e.request.params = params;
    e.binding = attachSession(server, e.request, e.response);
    return e;
}

std::string header(const Response& response, const std::string& name)
{
    auto found = response.headers.find(name);
    return found == response.headers.end() ? "<none>" : found->second;
}

std::string sessionIdFromCookie(const Response& response)
{
    std::smatch match;
    std::string cookie = header(response, "Set-Cookie");
    static const std::regex form("Tunelet=([0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12});");
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

TEST(Crypto, Base64AndMd5MatchTheirStandards)
{
    const std::pair<std::string, std::string> base64Cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"alice:s3cret", "YWxpY2U6czNjcmV0"},
        {std::string("\xff\xfe\0", 3), "//4A"},
    };
    for (const auto& [in, out] : base64Cases)
        EXPECT_EQ(base64(in), out) << in;

    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_NE(md5Hex(std::string("a\0", 2)), md5Hex("a"));  // bytes after a zero count

    EXPECT_TRUE(equalSecret("abc", "abc"));
    EXPECT_FALSE(equalSecret("abc", "abd"));
    EXPECT_FALSE(equalSecret("abc", "ab"));
}

TEST(Nonce, CarriesItsTimeAndVerifiesFromIt)
{
    std::string nonce = makeNonce(0x5f5e100);
    ASSERT_EQ(nonce.size(), 48u);
    EXPECT_EQ(nonce.substr(0, 16), "0000000005f5e100");
    std::string hashed = "0000000005f5e100" "0d4e7a19c3b85f62e1a09d7c4b3f8265" + std::string(1, '\0');
    EXPECT_EQ(nonce.substr(16), md5Hex(hashed));
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
}

TEST(Random, ArraySeedingMatchesTheReferenceGenerator)
{
    // The reference implementation's published first outputs for this key.
    const std::array<std::uint32_t, 4> key{0x123, 0x234, 0x345, 0x456};
    std::mt19937 generator = arraySeededGenerator(key);
    const std::uint32_t expected[] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};
    for (std::uint32_t word : expected)
        EXPECT_EQ(generator(), word);
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
    EXPECT_EQ(first.binding.session, server.sessionFor(id));
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
        {"realm parameter", {}, {{"Tunelet", id}}},
        {"auth parameter", {}, {{"auth", id}}},
        {"cookie before parameter", {{"Cookie", "Tunelet=" + id}}, {{"auth", "elsewhere"}}},
        {"realm parameter before auth", {}, {{"Tunelet", id}, {"auth", "elsewhere"}}},
        {"empty cookie falls through", {{"Cookie", "Tunelet="}}, {{"auth", id}}},
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

    // An id the server never issued still names a session of its own.
    Exchange chosen = requestWith(server, {{"Cookie", "Tunelet=mine"}});
    EXPECT_EQ(chosen.binding.session, server.sessionFor("mine"));
}

TEST(SessionStep, ChallengesWithBothSchemes)
{
    TestServer server;
    server.requirePassword = true;
    Exchange e = requestWith(server, {});
    EXPECT_EQ(e.request.status, 401);
    EXPECT_EQ(e.request.reason, "Unauthorized");
    StateStore* session = e.binding.session;
    std::string nonce = session->get("nonce");
    std::string opaque = session->get("opaque");
    EXPECT_TRUE(isOwnNonce(nonce));
    EXPECT_TRUE(std::regex_match(opaque, std::regex("[0-9a-f]{16}")));
    EXPECT_EQ(header(e.response, "WWW-Authenticate"),
              "Digest realm=\"Tunelet\" , qop=\"auth\" , nonce=\"" + nonce + "\" , opaque=\"" + opaque
                  + "\"\r\nWWW-Authenticate: Basic realm=\"Tunelet\"");
    EXPECT_EQ(e.response.headText().find("WWW-Authenticate: Digest realm=\"Tunelet\" , qop"),
              e.response.headText().find("WWW-Authenticate: "));

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
    attachSession(server, malformed, response);
    EXPECT_EQ(malformed.status, 401);
    Request failed;
    failed.status = 500;
    failed.reason = "Internal Server Error";
    Response failedResponse;
    attachSession(server, failed, failedResponse);
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
    server.requirePassword = true;
    Exchange challenge = requestWith(server, {});
    std::string id = sessionIdFromCookie(challenge.response);
    StateStore* session = challenge.binding.session;
    const std::string cookie = "Tunelet=" + id;

    Digest good;
    good.nonce = session->get("nonce");
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
        good.nonce = session->get("nonce");  // every challenge renews it; any own nonce will do
    }

    Exchange accepted = requestWith(server, {{"Cookie", cookie}, {"Authorization", good.header()}});
    EXPECT_EQ(accepted.request.status, 0);
    EXPECT_EQ(accepted.request.authorizedSession, id);
    EXPECT_EQ(session->get("authorized"), "true");
    EXPECT_EQ(accepted.response.headers.count("WWW-Authenticate"), 0u);

    // From now on the cookie or the auth parameter alone will do.
    Exchange byCookie = requestWith(server, {{"Cookie", cookie}});
    EXPECT_EQ(byCookie.request.status, 0);
    EXPECT_EQ(byCookie.request.authorizedSession, id);
    Exchange byParameter = requestWith(server, {}, {{"auth", id}}, "/stream");
    EXPECT_EQ(byParameter.request.status, 0);
    EXPECT_EQ(byParameter.request.authorizedSession, id);
    EXPECT_EQ(byParameter.response.headers.count("Set-Cookie"), 0u);
    EXPECT_EQ(requestWith(server, {}).request.status, 401);  // a new browser still is not
}

TEST(SessionStep, DigestDetails)
{
    TestServer server;
    server.requirePassword = true;
    auto freshSession = [&](Digest& digest) {
        Exchange challenge = requestWith(server, {});
        digest.opaque = challenge.binding.session->get("opaque");
        digest.nonce = challenge.binding.session->get("nonce");
        return "Tunelet=" + sessionIdFromCookie(challenge.response);
    };
    auto check = [&](const char* name, Digest digest, const std::string& path, int method, bool expected) {
        std::string cookie = freshSession(digest);
        Exchange e = requestWith(server, {{"Cookie", cookie}, {"Authorization", digest.header()}}, {}, path, method);
        EXPECT_EQ(e.request.status == 0, expected) << name;
    };

    Digest old;
    old.nonce = makeNonce(1000);
    std::string cookie = freshSession(old);
    old.nonce = makeNonce(1000);  // made long ago by this program: still accepted
    EXPECT_EQ(requestWith(server, {{"Cookie", cookie}, {"Authorization", old.header()}}).request.status, 0);

    Digest query;
    query.uri = "/index.html?x=1";
    check("uri with a query", query, "/index.html", Request::get, true);
    Digest escaped;
    escaped.uri = "/my%20song.mp3";
    check("escaped uri against the decoded path", escaped, "/my song.mp3", Request::get, true);
    Digest post;
    post.method = "POST";
    check("POST hashed as POST", post, "/index.html", Request::post, true);
    check("POST hash on a GET", post, "/index.html", Request::get, false);
    Digest otherRealm;
    otherRealm.realm = "elsewhere";  // the realm the client hashed with is taken as sent
    check("client's realm", otherRealm, "/index.html", Request::get, true);
    Digest emptyNc;
    emptyNc.nc = "";
    check("empty nc hashed as empty", emptyNc, "/index.html", Request::get, true);
}

TEST(SessionStep, BasicIsCheckedOnEveryRequest)
{
    TestServer server;
    server.requirePassword = true;
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
    server.requirePassword = true;
    const std::string cookie = "Tunelet=shared";
    constexpr int threads = 8;
    constexpr int rounds = 50;
    std::vector<StateStore*> seen(threads);
    std::vector<std::set<std::string>> opaques(threads);
    std::atomic<int> served{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                Exchange e = requestWith(server, {{"Cookie", cookie}});
                seen[t] = e.binding.session;
                if (e.request.status == 0) {
                    ++served;
                    continue;
                }
                std::string text = header(e.response, "WWW-Authenticate");
                std::size_t at = text.find("opaque=\"");
                opaques[t].insert(text.substr(at + 8, 16));
                // Half the connections answer the challenge they just received.
                if (t % 2 == 0) {
                    Digest digest;
                    digest.opaque = text.substr(at + 8, 16);
                    digest.nonce = text.substr(text.find("nonce=\"") + 7, 48);
                    Exchange answer = requestWith(server, {{"Cookie", cookie}, {"Authorization", digest.header()}});
                    EXPECT_EQ(answer.request.status, 0);
                }
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();

    StateStore* session = server.sessionFor("shared");
    std::set<std::string> allOpaques;
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(seen[t], session);
        allOpaques.insert(opaques[t].begin(), opaques[t].end());
    }
    EXPECT_EQ(allOpaques.size(), 1u);  // every challenge named the session's one opaque
    EXPECT_EQ(session->get("authorized"), "true");
    EXPECT_GT(served.load(), 0);
}
