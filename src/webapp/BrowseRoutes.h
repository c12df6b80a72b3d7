#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters the routes that browse the library by tags into `routes`. Each
/// answers a script as "library.js" does (the "callback" parameter when it
/// only names a function, "(", an object text, ");"), with no JSON_auth
/// check, and its values written by TrackEntryText's rules:
///  - "artists.js" ?genre=&start=&count=: the filing artists by name
///    ignoring case, each with its album and track counts and its
///    "artist://" path; count defaults to 500 and is at most 5000;
///  - "albums.js" ?artist=&genre=&year=&start=&count=&sortby=: albums (of
///    one filing artist when "artist" is given) with year, tracks, total
///    duration, "album://" path and cover URL; sortby 0 name, 1 artist,
///    2 year;
///  - "album.js" ?path=: an album path's readable tracks in disc and track
///    order, as entry objects;
///  - "genres.js", "years.js": each genre or year with its album and track
///    counts;
///  - "files.js" ?path=&sortby=&sortdir=: see FolderFactsRoute.h.
/// None takes the application's lock; all read the last complete index.
void addBrowseRoutes(RouteTable& routes);

} // namespace webapp
