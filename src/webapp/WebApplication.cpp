#include "webapp/WebApplication.h"

#include "settings/Settings.h"
#include "http/FileResponse.h"
#include "http/MediaTypes.h"
#include "platform/RandomSource.h"
#include "message/Response.h"
#include "library/MediaLibrary.h"
#include "webapp/AdminRoutes.h"
#include "webapp/ClientFileTypes.h"
#include "webapp/CoverRoute.h"
#include "webapp/DownloadRoutes.h"
#include "webapp/EmbeddedRoutes.h"
#include "webapp/LibraryRoutes.h"
#include "webapp/LiveFeed.h"
#include "webapp/LiveRoute.h"
#include "webapp/PlayerCommands.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RequestContext.h"
#include "webapp/StatusDocuments.h"
#include "webclient/Resources.h"

#include <array>
#include <chrono>
#include <cstdint>

namespace webapp {

namespace {

/// Browsers may keep images for thirty days by their expiry date, but check
/// back after thirty seconds.
constexpr std::int64_t imageLifetimeSeconds = 2592000;

std::int64_t secondsNow()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

/// Every route the application answers: the built-in ones, then `extra`.
RouteTables makeTables(RouteTable extra)
{
    RouteTables tables;
    addEmbeddedRoutes(tables);
    addStatusDocuments(tables.routes);
    addPlayerCommands(tables.routes);
    addLibraryRoutes(tables.routes);
    addDownloadRoutes(tables.routes);
    addAdminRoutes(tables.routes);
    addCoverRoute(tables.routes);
    addLiveRoute(tables.routes);
    for (auto& [name, handler] : extra)
        tables.routes.insert_or_assign(name, std::move(handler));
    return tables;
}

} // namespace

WebApplication::WebApplication(platform::HWND mainWindow, void* module, host::Settings& settings,
                               RouteTable extraRoutes)
    : mainWindow(mainWindow), module(module), settings(settings), tables(makeTables(std::move(extraRoutes)))
{
    library = std::make_unique<library::MediaLibrary>(settings);
    facade = std::make_unique<PlayerFacade>(mainWindow, library.get());
    live = std::make_unique<LiveFeed>([this] { return readLiveState(*this); });
}

WebApplication::~WebApplication()
{
    // The feed's watcher reads through the facade, which borrows the library.
    live.reset();
    facade.reset();
    library.reset();
}

bool WebApplication::dispatch(RequestContext& context)
{
    http::Response& response = context.response;
    response.headers["Cache-Control"] = "no-cache, must-revalidate";
    response.headers["Expires"] = "-1";

    const std::string& name = context.routeName;
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        std::string_view extension = std::string_view(name).substr(dot + 1);
        std::string type = http::mediaTypeFor(extension);
        if (type.empty())
            type = clientFileTypeFor(extension);
        if (!type.empty()) {
            response.headers["Content-Type"] = type + "; charset=UTF-8";
            if (type.substr(0, type.find('/')) == "image") {
                response.headers["Expires"] = http::httpDate(secondsNow() + imageLifetimeSeconds);
                response.headers["Cache-Control"] = "max-age=30";
                response.headers["Last-Modified"] = http::httpDate(0);
            }
        }
    }

    auto found = tables.routes.find(name);
    if (found == tables.routes.end())
        return false;
    found->second(*this, context);
    return true;
}

bool WebApplication::servesFile(std::string_view name) const
{
    return tables.resources.contains(name);
}

const webclient::Resource* WebApplication::fileFor(const RequestContext& context) const
{
    auto found = tables.resources.find(context.routeName);
    if (found == tables.resources.end())
        return nullptr;
    return webclient::findResource(found->second.id, found->second.type);
}

void WebApplication::sendResource(RequestContext& context)
{
    const webclient::Resource* resource = fileFor(context);
    if (!resource) {
        sendNotFound(context.response);
        return;
    }
    context.response.setBody(std::string(resource->bytes));
    context.response.send();
}

void WebApplication::sendTemplate(RequestContext& context)
{
    const webclient::Resource* resource = fileFor(context);
    if (!resource) {
        sendNotFound(context.response);
        return;
    }
    context.response.setBody(expandTemplate(resource->bytes, templateValues(context)));
    context.response.send();
}

WebApplication::TemplateValues WebApplication::templateValues(const RequestContext& context)
{
    const bool libraryOn = settings.read([](const host::SettingsData& values) { return values.enableML; });
    return {
        {"PLAYLIST_ID", newPlaylistId()},
        {"ML_ENABLED", libraryOn ? "true" : "false"},
        {"VERSION", version},
        {"SESSION_NAME", context.sessionCookieName},
    };
}

std::string WebApplication::expandTemplate(std::string_view text, const TemplateValues& values)
{
    std::string out(text);
    std::size_t at = 0;
    for (;;) {
        std::size_t open = out.find("<<", at);
        if (open == std::string::npos)
            break;
        std::size_t close = out.find(">>", open);
        if (close == std::string::npos)
            break;
        std::string_view name = std::string_view(out).substr(open + 2, close - open - 2);
        auto found = values.find(name);
        std::string value = found == values.end() ? std::string() : found->second;
        out.replace(open, close + 2 - open, value);
        // Past the value: what a value holds is never taken for a placeholder.
        at = open + value.size();
    }
    return out;
}

std::string WebApplication::newPlaylistId()
{
    std::lock_guard guard(lock);
    for (;;) {
        std::array<std::uint32_t, 10> words;
        platform::randomWords(words);
        std::string id(words.size(), 'a');
        for (std::size_t i = 0; i < words.size(); ++i) {
            // Scaled from the whole 32-bit range, so each of the 25 letters
            // "a" to "y" is equally likely.
            id[i] = static_cast<char>('a' + ((std::uint64_t{words[i]} * 25) >> 32));
        }
        if (!playlistClients.holdsCurrent(id))
            return id;
    }
}

void WebApplication::sendNotFound(http::Response& response)
{
    response.headers["Content-Type"] = "text/html";
    response.headers["Cache-Control"] = "no-cache, must-revalidate";
    response.headers["Expires"] = "-1";
    response.headers["Last-Modified"] = "";
    response.status = 404;
    response.reason = "Not Found";
    response.setBody("<html><body><h1>404 Not Found</h1></body></html>");
    response.send();
}

} // namespace webapp
