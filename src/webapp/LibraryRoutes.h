#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

struct RequestContext;

/// True when the parameter "JSON_auth" equals, byte for byte, the value of
/// the session cookie (`sessionCookieName`) and that value is not empty: a
/// request without the cookie never passes.
bool checkJsonAuth(RequestContext& context);

/// Enters "library.js", "favorites.js", "events.js", "peerlibrary.js"
/// (see PeerLibraryRoute) and "find.js" (see FindRoute) into `routes`.
/// Each answers a script: the "callback" parameter (when it only names a
/// function, see scriptCallback), "(", an object text, ");". "library.js"
/// lists the shared directories, one of their directories or a search, with
/// the request's URL token (`RequestContext::urlToken`) as its "auth";
/// "favorites.js" this instance and the peers discovery knows; "events.js"
/// the empty object. The last two answer an empty body (status 200) when
/// `checkJsonAuth` fails. None takes the application's lock.
void addLibraryRoutes(RouteTable& routes);

} // namespace webapp
