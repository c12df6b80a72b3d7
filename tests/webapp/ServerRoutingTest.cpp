// The web application behind its own server, over loopback: route names,
// the request dump, document-root files, the 404 page and the server's
// account checks.
#include "ServedApplication.h"
#include "TemplateCheck.h"
#include "settings/Settings.h"
#include "host/TempDirectory.h"
#include "http/support/RawClient.h"
#include "platform/Socket.h"
#include "webapp/TuneletRequestThread.h"
#include "webapp/WebApplication.h"
#include "webclient/Resources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using testing_support::RawClient;
using webapp::WebApplication;

namespace {

const std::string notFoundBody = "<html><body><h1>404 Not Found</h1></body></html>";

class ServerRouting : public webapptest::ServedApplication {
protected:
    void SetUp() override
    {
        settings.update([&](auto& d) { d.documentRoot = dir.path("skins"); });
        settings.update([&](auto& d) { d.timeout = 42; });
        std::filesystem::create_directories(settings.snapshot().documentRoot);
        serve(application, settings);
    }

    /// One request on a connection of its own; a session cookie goes along
    /// unless told otherwise, so no "Set-Cookie" comes back.
    RawClient::Answer get(const std::string& target) { return get(target, cookie); }
    RawClient::Answer get(const std::string& target, const std::string& extraHeaders)
    {
        RawClient client(server->listeningPort());
        EXPECT_TRUE(client.send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n"));
        return client.readAnswer();
    }

    hosttest::TempDirectory dir;
    host::Settings settings{dir.path("gen_Tunelet.ini")};
    WebApplication application{nullptr, nullptr, settings};
};

std::string_view embedded(int id, std::string_view type = webclient::kHtmlType)
{
    return webclient::findResource(id, type)->bytes;
}

} // namespace

TEST(RouteName, EveryLeadingSlashGoesAndNothingElseChanges)
{
    auto check = [](std::string_view path, std::string_view expected) {
        EXPECT_EQ(webapp::TuneletRequestThread::routeNameFor(path), expected) << "path: " << path;
    };
    check("/", "");
    check("//", "");
    check("///", "");
    check("", "");
    check("/library", "library");
    check("//library", "library");
    check("/library/", "library/");
    check("/a//b/", "a//b/");
    check("/./x", "./x");
}

TEST_F(ServerRouting, TheMainAndLibraryPagesByTheirNames)
{
    for (const char* target : {"/", "//", "/?x=1"}) {
        RawClient::Answer answer = get(target);
        EXPECT_EQ(answer.status, 200) << target;
        EXPECT_EQ(webapptest::filledInValue(embedded(3032), "<<VERSION>>", answer.body), "3.1") << target;
        EXPECT_NE(answer.body.find("<title>Tunelet v3.1</title>"), std::string::npos);
    }
    for (const char* target : {"/library", "//library"}) {
        RawClient::Answer answer = get(target);
        EXPECT_EQ(answer.status, 200) << target;
        EXPECT_EQ(webapptest::filledInValue(embedded(3037), "<<VERSION>>", answer.body), "3.1") << target;
    }
    EXPECT_EQ(get("/library/").status, 404);
    EXPECT_EQ(get("/Library").status, 404);
}

TEST_F(ServerRouting, NotFoundPageByteForByte)
{
    // A zero byte in the path finds no file, whatever follows it.
    hosttest::TempDirectory::writeText(settings.snapshot().documentRoot + "/page.bin", "not html");
    for (const char* target : {"/library/", "/nothing.css", "/nothing", "/page.bin%00.html", "/%00"}) {
        RawClient client(server->listeningPort());
        ASSERT_TRUE(client.send(std::string("GET ") + target + " HTTP/1.1\r\n" + cookie + "\r\n"));
        RawClient::Answer answer = client.readAnswer();
        EXPECT_EQ(answer.head,
                  "HTTP/1.1 404 Not Found\r\n"
                  "Cache-Control: no-cache, must-revalidate\r\n"
                  "Content-Length: 48\r\n"
                  "Content-Type: text/html\r\n"
                  "Expires: -1\r\n"
                  "Last-Modified: \r\n"
                  "P3P: CP=\"NON NID TAIa OUR NOR NAV INT STA\"")
            << target;
        EXPECT_EQ(answer.body, notFoundBody);
        // The connection stays open for the next request.
        ASSERT_TRUE(client.send("GET /playlist.css HTTP/1.1\r\n" + cookie + "\r\n"));
        EXPECT_EQ(client.readAnswer().status, 200);
    }
}

TEST_F(ServerRouting, InfoDumpsTheRequestBeforeAnythingElse)
{
    // A document-root file of the same name does not hide the dump.
    hosttest::TempDirectory::writeText(settings.snapshot().documentRoot + "/info", "a file called info");
    for (const char* target : {"/info?x=1", "//info?x=1"}) {
        RawClient::Answer answer = get(target, cookie + "X-Probe: seen\r\n");
        EXPECT_EQ(answer.status, 200) << target;
        EXPECT_EQ(answer.header("Content-Type"), "text/html");
        EXPECT_FALSE(answer.header("Cache-Control")) << "the dump is not routed";
        EXPECT_NE(answer.body.find("<b>Request URI:</b></td><td valign=\"top\"><pre>/"), std::string::npos);
        EXPECT_NE(answer.body.find("X-Probe:</i></td><td valign=\"top\">seen"), std::string::npos);
        EXPECT_NE(answer.body.find("<i>x:</i></td><td valign=\"top\">1"), std::string::npos);
        EXPECT_EQ(answer.body.find("a file called info"), std::string::npos);
    }
    EXPECT_EQ(get("/info/").status, 404);
}

TEST_F(ServerRouting, DocumentRootFilesComeBeforeEmbeddedOnes)
{
    const std::string css = settings.snapshot().documentRoot + "/playlist.css";
    hosttest::TempDirectory::writeText(css, "body { color: red }");
    RawClient::Answer answer = get("/playlist.css");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "body { color: red }");
    EXPECT_EQ(answer.header("Content-Type"), "text/css");
    EXPECT_FALSE(answer.header("Cache-Control"));

    std::filesystem::remove(css);
    answer = get("/playlist.css");
    EXPECT_EQ(answer.body, embedded(3043));
    EXPECT_EQ(answer.header("Content-Type"), "text/css; charset=UTF-8");
    EXPECT_EQ(answer.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(answer.header("Expires"), "-1");

    // A file beside the document root is out of reach; a directory in it is
    // no file.
    hosttest::TempDirectory::writeText(dir.path("secret.txt"), "secret");
    EXPECT_EQ(get("/../secret.txt").status, 404);
    std::filesystem::create_directories(settings.snapshot().documentRoot + "/library");
    EXPECT_EQ(get("/library").status, 200);
}

TEST_F(ServerRouting, EachLoadOfTheCommandScriptCarriesANewPlaylistId)
{
    RawClient client(server->listeningPort());
    std::set<std::string> ids;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(client.send("GET /httpdeck.js HTTP/1.1\r\n" + cookie + "\r\n"));
        RawClient::Answer answer = client.readAnswer();
        ASSERT_EQ(answer.status, 200);
        EXPECT_EQ(answer.header("Content-Type"), "text/javascript; charset=UTF-8");
        std::string id = webapptest::filledInValue(embedded(3039), "<<PLAYLIST_ID>>", answer.body);
        EXPECT_TRUE(webapptest::isPlaylistId(id)) << id;
        ids.insert(id);
    }
    std::string fromAnotherConnection =
        webapptest::filledInValue(embedded(3039), "<<PLAYLIST_ID>>", get("/httpdeck.js").body);
    ids.insert(fromAnotherConnection);
    EXPECT_EQ(ids.size(), 3u);
}

TEST_F(ServerRouting, TheSessionCookieIsNamedByTheRealm)
{
    RawClient::Answer answer = get("/json.js", "");
    ASSERT_EQ(answer.status, 200);
    EXPECT_EQ(webapptest::filledInValue(embedded(3099), "<<SESSION_NAME>>", answer.body), "Tunelet");
    ASSERT_TRUE(answer.header("Set-Cookie"));
    EXPECT_TRUE(answer.header("Set-Cookie")->starts_with("Tunelet="));
}

TEST_F(ServerRouting, TheServerTakesItsSettingsAndChecksTheOneAccount)
{
    EXPECT_EQ(server->documentRoot, settings.snapshot().documentRoot);
    EXPECT_EQ(server->idleTimeout.load(), 42);
    EXPECT_EQ(server->access()->realm, "Tunelet");

    host::SettingsData access = settings.snapshot();
    access.username = "Ann";
    access.password = "pw";
    server->applyAccessSettings(access);
    EXPECT_EQ(server->access()->username, "Ann");
    EXPECT_EQ(server->access()->password, "pw");

    // Handed over while the server runs: the next request is judged by it.
    access.requirePassword = true;
    server->applyAccessSettings(access);
    EXPECT_EQ(get("/playlist.css").status, 401);
    EXPECT_EQ(get("/playlist.css", "Authorization: Basic QW5uOnB3\r\n").status, 200);  // Ann:pw
    EXPECT_EQ(get("/playlist.css", "Authorization: Basic QW5uOnB4\r\n").status, 401);  // Ann:px
}
