#include "webapp/PeerBrowseRoutes.h"

#include "library/FetchUrl.h"
#include "library/PeerBrowseAnswer.h"
#include "message/Request.h"
#include "message/Response.h"
#include "message/UrlCoding.h"
#include "webapp/PeerRequest.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/WebApplication.h"

#include <array>

namespace webapp {

namespace {

/// The longest listing a peer's route writes (5000 albums of a few hundred
/// bytes each) fits well within this; a cover is at most 512 pixels a side.
constexpr std::size_t longestAnswer = 8u << 20;
constexpr std::size_t longestCover = 4u << 20;

/// A peer route: the peer's route it asks, and the parameters it passes on.
struct PeerRoute {
    const char* name;
    const char* peerRoute;
    std::array<const char*, 2> texts;     // null where there are fewer
    std::array<const char*, 5> numbers;
};

const PeerRoute peerRoutes[] = {
    {"peerartists.js", "artists.js", {"genre"}, {"start", "count"}},
    {"peeralbums.js", "albums.js", {"artist", "genre"}, {"year", "start", "count", "sortby"}},
    {"peeralbum.js", "album.js", {"path"}, {}},
    {"peergenres.js", "genres.js", {}, {}},
    {"peeryears.js", "years.js", {}, {}},
    {"peerfiles.js", "files.js", {"path"}, {"sortby", "sortdir"}},
    {"peerfind.js", "find.js", {"q"}, {"folders", "start", "count", "sortby", "sortdir"}},
    {"peercover", "cover", {"path", "size"}, {}},
};

/// "http://HOST/ROUTE?..." with the route's parameters the request carries,
/// in the route's order.
std::string peerUrl(const std::string& host, const PeerRoute& route, const RequestContext& context)
{
    std::string url = "http://" + host + "/" + route.peerRoute;
    char separator = '?';
    auto add = [&](const char* name, const std::string& value) {
        url += separator;
        url += name;
        url += '=';
        url += value;
        separator = '&';
    };
    const auto& params = context.request.params;
    for (const char* name : route.texts)
        if (name && params.contains(name))
            add(name, http::urlEncode(parameter(context, name)));
    for (const char* name : route.numbers)
        if (name && params.contains(name))
            add(name, std::to_string(integerParameter(context, name)));
    return url;
}

/// The peer's answer of status 200 to `route`; false when the request may
/// not ask the peer or the peer gave no such answer.
bool askPeer(WebApplication& application, RequestContext& context, const PeerRoute& route, std::size_t longest,
             std::string& host, http::Response& answer)
{
    host = peerToAsk(application, context);
    library::FetchLimits limits;
    limits.answerBytes = longest;
    return !host.empty() && library::fetchUrl(peerUrl(host, route, context), answer, limits) &&
           answer.status == 200;
}

void sendPeerScript(WebApplication& application, RequestContext& context, const PeerRoute& route)
{
    std::string host;
    http::Response answer;
    std::string object;
    if (!askPeer(application, context, route, longestAnswer, host, answer) ||
        !library::readPeerBrowseAnswer(answer.body, object)) {
        sendText(context, std::string());
        return;
    }
    notePeerPlace(application, context, host);
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")), object));
}

/// The image type of a peer's cover answer, when its bytes begin as that
/// type's do; empty for anything else.
std::string coverType(const http::Response& answer)
{
    struct Kind {
        std::string_view type, start, more;
        std::size_t moreAt;
    };
    static constexpr std::array<Kind, 4> kinds = {{
        {"image/jpeg", "\xff\xd8\xff", "", 0},
        {"image/png", "\x89PNG\r\n\x1a\n", "", 0},
        {"image/webp", "RIFF", "WEBP", 8},
        {"image/gif", "GIF8", "", 0},
    }};
    auto found = answer.headers.find("Content-Type");
    if (found == answer.headers.end())
        return {};
    const std::string_view type = std::string_view(found->second).substr(0, found->second.find(';'));
    const std::string_view body = answer.body;
    for (const Kind& kind : kinds) {
        if (type == kind.type && body.starts_with(kind.start) &&
            (kind.more.empty() || body.substr(std::min(body.size(), kind.moreAt)).starts_with(kind.more)))
            return std::string(kind.type);
    }
    return {};
}

void sendPeerCover(WebApplication& application, RequestContext& context, const PeerRoute& route)
{
    std::string host;
    http::Response answer;
    std::string type;
    if (!askPeer(application, context, route, longestCover, host, answer) || (type = coverType(answer)).empty()) {
        WebApplication::sendNotFound(context.response);
        return;
    }
    notePeerPlace(application, context, host);
    http::Response& response = context.response;
    response.headers["Content-Type"] = type;
    response.headers["Cache-Control"] = "private, max-age=3600";
    response.headers.erase("Expires");
    response.setBody(std::move(answer.body));
    response.send();
}

} // namespace

void addPeerBrowseRoutes(RouteTable& routes)
{
    for (const PeerRoute& route : peerRoutes) {
        const bool script = std::string_view(route.name).ends_with(".js");
        routes.insert_or_assign(route.name, [&route, script](WebApplication& application, RequestContext& context) {
            if (script)
                sendPeerScript(application, context, route);
            else
                sendPeerCover(application, context, route);
        });
    }
}

} // namespace webapp
