// The web application's dispatch, offline: a request context over a
// recorded stream, answers read back from the bytes written.
#include "TemplateCheck.h"
#include "settings/Settings.h"
#include "host/TempDirectory.h"
#include "message/BufferStream.h"
#include "http/FileResponse.h"
#include "message/Request.h"
#include "message/Response.h"
#include "http/StateStore.h"
#include "webapp/RequestContext.h"
#include "webapp/WebApplication.h"
#include "webclient/Resources.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>

using webapp::RequestContext;
using webapp::WebApplication;
using webapptest::filledInValue;

namespace {

std::int64_t secondsNow()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

struct Routed {
    bool handled = false;
    std::string written;  // every byte sent
    http::Response answer;
    std::string header(const std::string& name) const
    {
        auto found = answer.headers.find(name);
        return found == answer.headers.end() ? "<absent>" : found->second;
    }
};

Routed routeThrough(WebApplication& application, const std::string& routeName, const std::string& cookieName)
{
    http::BufferStream stream;
    http::Request request;
    request.path = "/" + routeName;
    http::Response response(&stream);
    http::StateStore session;
    RequestContext context(request, response, &session, routeName, cookieName);
    Routed routed;
    routed.handled = application.dispatch(context);
    routed.written = stream.sent();
    routed.answer.parseText(routed.written);
    return routed;
}

void answerOne(WebApplication&, RequestContext& context)
{
    context.response.setBody("1");
    context.response.send();
}

class Dispatch : public ::testing::Test {
protected:
    hosttest::TempDirectory dir;
    host::Settings settings{dir.path("gen_Tunelet.ini")};
    // Routes of the test's own: names the built-in routes lack, and one that
    // takes over a built-in name.
    WebApplication application{nullptr,
                               nullptr,
                               settings,
                               {{"prevlike", {answerOne}},
                                {"odd.xyz", {answerOne}},
                                {"MIXED.JS", {answerOne}},
                                {"status.xml", {answerOne}},
                                {"play", {answerOne}}}};

    Routed route(const std::string& routeName, const std::string& cookieName = "Tunelet")
    {
        return routeThrough(application, routeName, cookieName);
    }
};

const std::set<std::string> templatedRoutes = {"", "library", "httpdeck.js", "console.js", "json.js"};

} // namespace

TEST_F(Dispatch, EveryEmbeddedFileHasItsRouteAndIsSentWhole)
{
    auto resources = webclient::allResources();
    ASSERT_FALSE(resources.empty());
    EXPECT_EQ(resources.size(), 66u);
    for (const webclient::Resource& resource : resources) {
        std::string name(resource.route);
        SCOPED_TRACE("route \"" + name + "\"");
        EXPECT_TRUE(application.servesFile(name));
        EXPECT_EQ(resource.isTemplate, templatedRoutes.contains(name));

        Routed routed = route(name);
        ASSERT_TRUE(routed.handled);
        EXPECT_EQ(routed.answer.status, 200);
        EXPECT_EQ(routed.header("Content-Length"), std::to_string(routed.answer.body.size()));
        if (templatedRoutes.contains(name))
            EXPECT_EQ(routed.answer.body.find("<<"), std::string::npos) << "placeholder left";
        else
            EXPECT_EQ(routed.answer.body, resource.bytes) << "changed on the way";
    }
}

TEST_F(Dispatch, CachingHeadersFollowTheExtension)
{
    struct Case {
        std::string route;
        std::string contentType;
        bool image;
    };
    const Case cases[] = {
        {"favicon.ico", "image/x-icon; charset=UTF-8", true},
        {"console.gif", "image/gif; charset=UTF-8", true},
        {"back.jpg", "image/jpeg; charset=UTF-8", true},
        {"icon192.png", "image/png; charset=UTF-8", true},
        {"manifest.webmanifest", "application/manifest+json; charset=UTF-8", false},
        {"playlist.css", "text/css; charset=UTF-8", false},
        {"httpdeck.js", "text/javascript; charset=UTF-8", false},
        {"", "text/html", false},
        {"library", "text/html", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("route \"" + c.route + "\"");
        std::int64_t before = secondsNow();
        Routed routed = route(c.route);
        std::int64_t after = secondsNow();
        ASSERT_TRUE(routed.handled);
        EXPECT_EQ(routed.header("Content-Type"), c.contentType);
        if (c.image) {
            EXPECT_EQ(routed.header("Cache-Control"), "max-age=30");
            EXPECT_EQ(routed.header("Last-Modified"), "Thu, 1 Jan 1970 0:0:0 GMT");
            std::set<std::string> thirtyDaysOn;
            for (std::int64_t t = before; t <= after; ++t)
                thirtyDaysOn.insert(http::httpDate(t + 2592000));
            EXPECT_TRUE(thirtyDaysOn.contains(routed.header("Expires"))) << routed.header("Expires");
        } else {
            EXPECT_EQ(routed.header("Cache-Control"), "no-cache, must-revalidate");
            EXPECT_EQ(routed.header("Expires"), "-1");
            EXPECT_EQ(routed.header("Last-Modified"), "<absent>");
        }
    }
}

TEST_F(Dispatch, RoutesWithoutAKnownExtensionKeepTheDefaultType)
{
    EXPECT_EQ(route("prevlike").header("Content-Type"), "text/html");
    EXPECT_EQ(route("prevlike").header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(route("prevlike").header("Expires"), "-1");
    EXPECT_EQ(route("prevlike").answer.body, "1");
    EXPECT_EQ(route("odd.xyz").header("Content-Type"), "text/html");
    EXPECT_EQ(route("MIXED.JS").header("Content-Type"), "text/html");  // extensions match case-sensitively
    EXPECT_EQ(route("status.xml").header("Content-Type"), "text/xml; charset=UTF-8");
    EXPECT_EQ(route("play").answer.body, "1") << "a route of the caller's takes over a built-in name";
}

TEST_F(Dispatch, EachApplicationKeepsItsOwnRoutes)
{
    auto answerTwo = [](WebApplication&, RequestContext& context) {
        context.response.setBody("2");
        context.response.send();
    };
    WebApplication other(nullptr, nullptr, settings, {{"prevlike", {answerTwo}}});
    WebApplication plain(nullptr, nullptr, settings);
    EXPECT_EQ(route("prevlike").answer.body, "1");
    EXPECT_EQ(route("play").answer.body, "1");
    EXPECT_FALSE(routeThrough(plain, "prevlike", "Tunelet").handled);
    EXPECT_TRUE(routeThrough(plain, "play", "Tunelet").handled);
}

TEST_F(Dispatch, UnknownNamesSendNothing)
{
    for (const char* name : {"nothing", "library/", "/library", "Library", "missing.gif", "info"}) {
        Routed routed = route(name);
        EXPECT_FALSE(routed.handled) << name;
        EXPECT_EQ(routed.written, "") << name;
    }
}

TEST_F(Dispatch, TemplateValues)
{
    auto original = [](int id) { return webclient::findResource(id, webclient::kHtmlType)->bytes; };

    EXPECT_EQ(filledInValue(original(3032), "<<VERSION>>", route("").answer.body), "3.1");
    EXPECT_EQ(filledInValue(original(3037), "<<VERSION>>", route("library").answer.body), "3.1");
    EXPECT_EQ(filledInValue(original(3099), "<<SESSION_NAME>>", route("json.js", "Realm2").answer.body), "Realm2");

    settings.update([&](auto& d) { d.enableML = true; });
    EXPECT_EQ(filledInValue(original(3064), "<<ML_ENABLED>>", route("console.js").answer.body), "true");
    settings.update([&](auto& d) { d.enableML = false; });
    EXPECT_EQ(filledInValue(original(3064), "<<ML_ENABLED>>", route("console.js").answer.body), "false");

    std::string first = filledInValue(original(3039), "<<PLAYLIST_ID>>", route("httpdeck.js").answer.body);
    std::string second = filledInValue(original(3039), "<<PLAYLIST_ID>>", route("httpdeck.js").answer.body);
    EXPECT_TRUE(webapptest::isPlaylistId(first)) << first;
    EXPECT_TRUE(webapptest::isPlaylistId(second)) << second;
    EXPECT_NE(first, second);
}

TEST(ExpandTemplate, Cases)
{
    const WebApplication::TemplateValues values{{"A", "x"}, {"LOOP", "<<A>>"}, {"", "empty"}};
    auto check = [&](const std::string& text, const std::string& expected) {
        EXPECT_EQ(WebApplication::expandTemplate(text, values), expected) << "text: " << text;
    };
    check("", "");
    check("no placeholders", "no placeholders");
    check("<<A>>", "x");
    check("a<<A>>b<<A>>c", "axbxc");
    check("<<A>><<A>>", "xx");
    check("<<UNKNOWN>>!", "!");                   // unknown names vanish
    check("<<>>", "empty");                       // the empty name is a name too
    check("<<LOOP>>", "<<A>>");                   // a value is not scanned again
    check("<<LOOP>><<A>>", "<<A>>x");
    check("start <<A and no end", "start <<A and no end");
    check("<<A>> then <<open", "x then <<open");  // the rest stays
    check(">> <<A>>", ">> x");
    check("<<<A>>>", ">");                        // the name "<A" is unknown; the first ">>" closes it
}

TEST(NewPlaylistId, TenLettersFromAToYFromTheSharedGenerator)
{
    hosttest::TempDirectory dir;
    host::Settings settings(dir.path("gen_Tunelet.ini"));
    WebApplication application(nullptr, nullptr, settings);

    std::set<char> seen;
    for (int i = 0; i < 400; ++i) {
        std::string id = application.newPlaylistId();
        ASSERT_TRUE(webapptest::isPlaylistId(id)) << id;
        seen.insert(id.begin(), id.end());
    }
    EXPECT_EQ(seen.size(), 25u) << "every letter from a to y turns up";

    // The C library's generator, seeded alike, gives the same ids again;
    // these come from the process-wide generator, which no one reseeds.
    std::srand(12345);
    std::string first = application.newPlaylistId();
    std::srand(12345);
    std::string second = application.newPlaylistId();
    EXPECT_NE(first, second);
    EXPECT_EQ(application.playlistClients.size(), 0u) << "the id is not entered by making it";
}
