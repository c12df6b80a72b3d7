#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

class WebApplication;
struct RequestContext;

/// "playlist.xml": the playlist position, whether the client with the "id"
/// parameter lacks the current playlist ("dirty"), and then the whole track
/// list when it does (or has no id). Holds the application's lock while it
/// takes the player's changed flag and while it marks its client, not while
/// it reads the entries: the first request after a change of the player's
/// playlist consumes the flag and marks every known client dirty, and a
/// change made while the entries are read leaves the next answer dirty.
void sendPlaylistDocument(WebApplication& application, RequestContext& context);

/// "consolestatus.xml": volume, shuffle, repeat, the current track's
/// metadata, length, bitrate and play position, on one line. Takes no
/// application lock.
void sendConsoleDocument(WebApplication& application, RequestContext& context);

/// Enters both documents into `routes`.
void addStatusDocuments(RouteTable& routes);

} // namespace webapp
