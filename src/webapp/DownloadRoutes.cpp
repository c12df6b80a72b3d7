#include "webapp/DownloadRoutes.h"

#include "http/FileResponse.h"
#include "http/MediaTypes.h"
#include "message/Request.h"
#include "message/Response.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/PlaylistFile.h"
#include "platform/Files.h"
#include "webapp/PlaylistExport.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/WebApplication.h"

namespace webapp {

namespace {

std::string headerValue(const http::Request& request, const std::string& name)
{
    auto found = request.headers.find(name);
    return found == request.headers.end() ? std::string() : found->second;
}

bool isRegularFile(const std::string& path)
{
    platform::FileStatus status;
    return platform::statusOfPath(path, status) && status.isRegular();
}

void sendDownload(WebApplication& application, RequestContext& context)
{
    http::Response& response = context.response;
    const std::string path = parameter(context, "path");
    const library::FindData found = application.library->fileInfo(path);
    // Looked at before the open too: opening a device can act on it.
    if (found.name.empty() || found.isDirectory() || !isRegularFile(path)) {
        WebApplication::sendNotFound(response);
        return;
    }
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos) {
        std::string type = http::mediaTypeFor(std::string_view(path).substr(dot + 1));
        if (!type.empty())
            response.headers["Content-Type"] = type;
    }

    // Non-blocking, so a fifo put in the file's place since cannot hold the
    // open; what was opened is checked again.
    platform::UniqueFd file =
        platform::openFile(path, platform::openRead | platform::openNoTerminal | platform::openNonBlocking);
    if (!file) {
        response.status = 500;
        response.reason = "Internal Server Error";
        response.setBody("<h1>500 Internal Server Error</h1>");
        response.send();
        return;
    }
    platform::FileStatus status;
    if (!platform::statusOf(file.get(), status) || !status.isRegular()) {
        WebApplication::sendNotFound(response);
        return;
    }
    http::sendOpenFile(response, context.request, file.get(), status.size, found.name);
}

void sendStream(WebApplication& application, RequestContext& context)
{
    http::Response& response = context.response;
    const std::string path = parameter(context, "path");
    std::vector<std::string> items;
    application.library->expandPath(path, items);
    if (items.empty()) {
        response.status = 404;
        response.reason = "Not Found";
        response.setBody("<h1>404 Not Found</h1>");
        response.send();
        return;
    }

    const std::string host = headerValue(context.request, "Host");
    // The URLs carry the session's URL token, never its id: a player (or a
    // peer, or a saved playlist) holding them can fetch music and no more.
    const std::string token = context.urlToken();
    // Only a local playlist file has entries to read; a search or a peer URL
    // that happens to end in ".m3u" is expanded like any other path.
    std::string text;
    if (library::isLocalPath(path) && library::PlaylistFile::isPlaylistFile(path))
        text = exportPlaylist(library::PlaylistFile(path), path, host, token);
    else
        text = exportPaths(items, host, token);

    response.headers["Content-Type"] = "audio/m3u";
    response.headers["Content-Disposition"] = "inline; filename=playlist.m3u";
    response.headers["Cache-Control"] = "must-revalidate";
    response.setBody(std::move(text));
    response.send();
}

} // namespace

void addDownloadRoutes(RouteTable& routes)
{
    routes.insert_or_assign("download", sendDownload);
    routes.insert_or_assign("stream", sendStream);
}

} // namespace webapp
