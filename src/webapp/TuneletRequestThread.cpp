#include "webapp/TuneletRequestThread.h"

#include "http/FileResponse.h"
#include "message/Response.h"
#include "webapp/RequestContext.h"
#include "webapp/TuneletServer.h"
#include "webapp/WebApplication.h"

#include <string>
#include <utility>

namespace webapp {

TuneletRequestThread::TuneletRequestThread(platform::UniqueFd socket, TuneletServer& server)
    : RequestThread(std::move(socket), server), tuneletServer(server)
{
}

std::string TuneletRequestThread::routeNameFor(std::string_view path)
{
    return std::string(routeIn(path));
}

std::string_view TuneletRequestThread::routeIn(std::string_view path)
{
    std::size_t first = path.find_first_not_of('/');
    return first == std::string_view::npos ? std::string_view() : path.substr(first);
}

int TuneletRequestThread::refusal() const
{
    return tuneletServer.admission.refusal(*request, *this);
}

void TuneletRequestThread::handle(http::Response& response)
{
    // A zero byte would end the name early for the file system (serving
    // "a.bin%00.html" as HTML): no file or route holds one.
    if (request->path.find('\0') != std::string::npos) {
        WebApplication::sendNotFound(response);
        return;
    }
    std::string routeName = routeNameFor(request->path);

    // The debug listing comes before everything, a document-root file of
    // the same name included.
    if (routeName == "info") {
        std::string listing;
        request->dumpHtml(listing);
        response.setBody(std::move(listing));
        response.send();
        return;
    }

    // Files in the document root take precedence over every route.
    if (http::sendFile(response, tuneletServer, *request, routeName))
        return;

    RequestContext context(*request, response, session, routeName, cookieName);
    context.connection = this;
    context.sessions = &tuneletServer.sessions();
    context.server = &tuneletServer;
    context.peer = peer();
    if (tuneletServer.application.dispatch(context))
        return;
    WebApplication::sendNotFound(response);
}

} // namespace webapp
