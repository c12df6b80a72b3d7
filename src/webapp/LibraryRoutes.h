#pragma once

#include "library/LibraryEntry.h"
#include "webapp/RouteTables.h"

#include <string>
#include <vector>

namespace library {
class MediaLibrary;
}

namespace webapp {

struct RequestContext;

/// True when the parameter "JSON_auth" equals, byte for byte, the value of
/// the session cookie (`sessionCookieName`) and that value is not empty: a
/// request without the cookie never passes.
bool checkJsonAuth(RequestContext& context);

/// Enters "library.js", "favorites.js", "events.js", "peerlibrary.js" (see
/// PeerLibraryRoute), "find.js" (see FindRoute), the tag browsing routes
/// (see BrowseRoutes) and their peers' counterparts (see PeerBrowseRoutes)
/// into `routes`.
/// Each answers a script: the "callback" parameter (when it only names a
/// function, see scriptCallback), "(", an object text, ");". "library.js"
/// lists the shared directories, one of their directories or a search, with
/// the request's URL token (`RequestContext::urlToken`) as its "auth";
/// "favorites.js" this instance and the peers discovery knows; "events.js"
/// the empty object. The last two answer an empty body (status 200) when
/// `checkJsonAuth` fails. None takes the application's lock.
void addLibraryRoutes(RouteTable& routes);

/// The entries of a listing, unsorted: the shared directories for the root,
/// a search's hits, or a directory's children (what "library.js" lists).
std::vector<library::LibraryEntry> listingEntries(const library::MediaLibrary& media, const std::string& path,
                                                  bool isRoot);

} // namespace webapp
