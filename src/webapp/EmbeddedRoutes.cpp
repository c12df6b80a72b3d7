#include "webapp/EmbeddedRoutes.h"

#include "webapp/RouteTables.h"
#include "webapp/WebApplication.h"
#include "webclient/Resources.h"

#include <cstdint>
#include <string_view>

namespace webapp {

namespace {

enum class Sending { resource, templated };

struct EmbeddedRoute {
    std::string_view name;
    std::uint16_t id;
    std::string_view type;
    Sending sending;
};

using webclient::kGifType;
using webclient::kHtmlType;
using webclient::kIcoType;
using webclient::kJpegType;
constexpr Sending file = Sending::resource;
constexpr Sending filled = Sending::templated;

constexpr EmbeddedRoute embeddedRoutes[] = {
    {"", 3032, kHtmlType, filled},
    {"library", 3037, kHtmlType, filled},
    {"playlist.css", 3043, kHtmlType, file},
    {"medialibrary.css", 3087, kHtmlType, file},
    {"httpdeck.js", 3039, kHtmlType, filled},
    {"console.js", 3064, kHtmlType, filled},
    {"playlist.js", 3040, kHtmlType, file},
    {"slider.js", 3042, kHtmlType, file},
    {"medialibrary.js", 3074, kHtmlType, file},
    {"window.js", 3058, kHtmlType, file},
    {"cookie.js", 3059, kHtmlType, file},
    {"json.js", 3099, kHtmlType, filled},
    {"menu.js", 3111, kHtmlType, file},
    {"event.js", 3115, kHtmlType, file},
    {"interface.jpg", 3027, kJpegType, file},
    {"vol_slider.jpg", 3028, kJpegType, file},
    {"favorites.jpg", 3114, kJpegType, file},
    {"fav_on.jpg", 3119, kJpegType, file},
    {"fav_off.jpg", 3118, kJpegType, file},
    {"back.jpg", 3120, kJpegType, file},
    {"back_gray.jpg", 3121, kJpegType, file},
    {"forward.jpg", 3122, kJpegType, file},
    {"forward_gray.jpg", 3123, kJpegType, file},
    {"favicon.ico", 3108, kIcoType, file},
    {"console.gif", 3062, kGifType, file},
    {"vol_handle.gif", 3018, kGifType, file},
    {"seek_handle.gif", 3069, kGifType, file},
    {"seek_slider.gif", 3068, kGifType, file},
    {"trash.gif", 3034, kGifType, file},
    {"waBoxBg.gif", 3053, kGifType, file},
    {"waFooterBg.gif", 3061, kGifType, file},
    {"waFooterLeft.gif", 3070, kGifType, file},
    {"waResize.gif", 3055, kGifType, file},
    {"waPlaylistTitle.gif", 3054, kGifType, file},
    {"waConsoleTitle.gif", 3051, kGifType, file},
    {"waBoxTitleLeft.gif", 3066, kGifType, file},
    {"waBoxTitleRight.gif", 3067, kGifType, file},
    {"waLightOn.gif", 3065, kGifType, file},
    {"closeBox.gif", 3072, kGifType, file},
    {"titleML.gif", 3076, kGifType, file},
    {"mp3.gif", 3088, kGifType, file},
    {"folder.gif", 3089, kGifType, file},
    {"folder_up.gif", 3090, kGifType, file},
    {"play.gif", 3091, kGifType, file},
    {"nq.gif", 3092, kGifType, file},
    {"nqnext.gif", 3129, kGifType, file},
    {"donate.gif", 3093, kGifType, file},
    {"m3u.gif", 3096, kGifType, file},
    {"mlconnect.gif", 3098, kGifType, file},
    {"plclear.gif", 3100, kGifType, file},
    {"asc.gif", 3102, kGifType, file},
    {"desc.gif", 3103, kGifType, file},
    {"search.gif", 3104, kGifType, file},
    {"loading.gif", 3105, kGifType, file},
    {"delete.gif", 3117, kGifType, file},
};

void sendResource(WebApplication& application, RequestContext& context)
{
    application.sendResource(context);
}

void sendTemplate(WebApplication& application, RequestContext& context)
{
    application.sendTemplate(context);
}

} // namespace

void registerEmbeddedRoutes()
{
    auto& resources = resourceTable();
    auto& routes = routeTable();
    for (const EmbeddedRoute& route : embeddedRoutes) {
        std::string name(route.name);
        resources.insert_or_assign(name, ResourceRef{route.id, route.type});
        routes.insert_or_assign(name, route.sending == Sending::templated ? RouteHandler(sendTemplate)
                                                                          : RouteHandler(sendResource));
    }
}

} // namespace webapp
