#pragma once

namespace webapp {

/// Enters every embedded web-client file into `resourceTable` and
/// `routeTable`, in the order the client's files are listed: the pages,
/// scripts and style sheets, then the images. Entering them again changes
/// nothing; routes of other names are kept.
void registerEmbeddedRoutes();

} // namespace webapp
