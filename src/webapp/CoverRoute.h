#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters "cover" into `routes`: the cover image of the library path "path"
/// (a file, a folder or an album path; see MediaLibrary::cover), at most
/// 512 pixels on a side, 128 with "size=small". The answer carries the
/// image's media type, an entity tag and "Last-Modified"; a request whose
/// "If-None-Match" names the tag gets 304 without a body. The 404 page when
/// there is no cover or the library refuses the path, as "download" does.
/// Takes no application lock; runs on any serving thread.
void addCoverRoute(RouteTable& routes);

} // namespace webapp
