#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// "live": a stream of server-sent events ("text/event-stream") with the
/// player's state (see `liveEvent`): the whole state at once, then what
/// changes, within a tick of the application's `LiveFeed`, and a comment line
/// as a heartbeat. The connection then serves nothing else and holds no
/// thread; it ends when the client closes it or the server stops. Offline
/// (no connection) the answer is the first event alone.
void sendLiveStream(WebApplication& application, RequestContext& context);

void addLiveRoute(RouteTable& routes);

} // namespace webapp
