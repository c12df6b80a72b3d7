#include "webapp/LiveRoute.h"

#include "message/Response.h"
#include "webapp/LiveFeed.h"
#include "webapp/RequestContext.h"
#include "webapp/WebApplication.h"

namespace webapp {

void sendLiveStream(WebApplication& application, RequestContext& context)
{
    http::Response& response = context.response;
    response.headers["Content-Type"] = "text/event-stream";
    response.headers["Cache-Control"] = "no-cache";
    auto [listener, state] = application.live->open();
    if (!context.connection) {
        response.setBody(liveEvent(nullptr, state));
        response.send();
        return;
    }
    // No length: the body ends with the connection.
    response.body = liveEvent(nullptr, state);
    response.send();
    LiveFeed::Listener& listening = *listener;
    listening.listen(context.connection->keepAnswering(std::move(listener)));
}

void addLiveRoute(RouteTable& routes)
{
    routes.insert_or_assign("live", sendLiveStream);
}

} // namespace webapp
