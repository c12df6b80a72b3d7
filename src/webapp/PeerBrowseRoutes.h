#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters the routes that hand the client a peer's tag listings and covers,
/// fetched by this instance, as "peerlibrary.js" hands it a peer's folders.
/// Each takes "host" (the peer's authority) and "JSON_auth", and asks the
/// peer (`peerToAsk` decides whether it may; no callback, no cookie, no
/// session id of ours) the route of the same name without "peer", passing on
/// only that route's own parameters that the request carries, texts
/// percent-encoded anew and numbers written anew:
///  - "peerartists.js" -> "artists.js" genre, start, count;
///  - "peeralbums.js" -> "albums.js" artist, genre, year, start, count, sortby;
///  - "peeralbum.js" -> "album.js" path;
///  - "peergenres.js", "peeryears.js" -> "genres.js", "years.js";
///  - "peerfiles.js" -> "files.js" path, sortby, sortdir;
///  - "peerfind.js" -> "find.js" q, folders, start, count, sortby, sortdir;
///  - "peercover" -> "cover" path, size.
/// A script route's answer of status 200 that `readPeerBrowseAnswer` takes
/// is sent written anew, in "callback" as "library.js" sends its object;
/// every failure (JSON_auth, host, fetch, status, grammar, a peer without
/// the route) answers an empty body with status 200. A cover is passed on
/// when the peer answers 200 with a JPEG, PNG, WebP or GIF type whose bytes
/// begin as that type's do, with that type and kept by the browser for an
/// hour; else the 404 page. A saved place answered is noted
/// (`notePeerPlace`). Each runs on a serving thread without any lock and
/// blocks it for at most fetchUrl's bound.
void addPeerBrowseRoutes(RouteTable& routes);

} // namespace webapp
