#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters "download" and "stream" into `routes`. Neither takes the
/// application's lock. A download holds its serving thread only for the
/// first send: what the socket cannot take at once goes out later from the
/// connection's stream (see http::Dispatcher).
///
/// "download" sends the library file "path" as a file answer (ranges
/// included) with the media type of its extension and its own name; the 404
/// page when the library does not allow or list it, or when it is anything
/// but a regular file (a directory, a device or a fifo with a media name is
/// never opened for reading or waited on); 500 when it cannot be opened.
///
/// "stream" answers "path" expanded as an M3U of download URLs (see
/// PlaylistExport); a playlist file keeps its own entries; 404 with a short
/// body when the path expands to nothing.
void addDownloadRoutes(RouteTable& routes);

} // namespace webapp
