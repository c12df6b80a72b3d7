#include "webapp/CoverRoute.h"

#include "http/FileResponse.h"
#include "library/MediaLibrary.h"
#include "message/Request.h"
#include "message/Response.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/WebApplication.h"

namespace webapp {

namespace {

/// Whether an "If-None-Match" value (a list of tags, weak ones too, or "*")
/// names `tag`.
bool namesTag(std::string_view value, std::string_view tag)
{
    std::size_t at = 0;
    while (at < value.size()) {
        std::size_t end = value.find(',', at);
        if (end == std::string_view::npos)
            end = value.size();
        std::string_view item = value.substr(at, end - at);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t'))
            item.remove_prefix(1);
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t'))
            item.remove_suffix(1);
        if (item.starts_with("W/"))
            item.remove_prefix(2);
        if (item == tag || item == "*")
            return true;
        at = end + 1;
    }
    return false;
}

void sendCover(WebApplication& application, RequestContext& context)
{
    http::Response& response = context.response;
    const auto variant =
        parameter(context, "size") == "small" ? library::CoverStore::Variant::small : library::CoverStore::Variant::full;
    std::optional<library::Cover> cover = application.library->cover(parameter(context, "path"), variant);
    if (!cover) {
        WebApplication::sendNotFound(response);
        return;
    }

    // The browser keeps a cover for an hour, then asks again with its tag.
    response.headers["Cache-Control"] = "private, max-age=3600";
    response.headers.erase("Expires");
    response.headers["ETag"] = cover->tag;
    response.headers["Last-Modified"] = http::httpDate(cover->modified);
    auto match = context.request.headers.find("If-None-Match");
    if (match != context.request.headers.end() && namesTag(match->second, cover->tag)) {
        response.headers.erase("Content-Type");
        response.status = 304;
        response.reason = "Not Modified";
        response.sendHead();
        return;
    }
    response.headers["Content-Type"] = cover->mediaType;
    if (cover->file) {
        http::sendOpenFile(response, context.request, cover->file.get(), cover->size, "cover");
        return;
    }
    response.setBody(std::move(cover->bytes));
    response.send();
}

} // namespace

void addCoverRoute(RouteTable& routes)
{
    routes.insert_or_assign("cover", sendCover);
}

} // namespace webapp
