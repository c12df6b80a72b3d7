#pragma once

#include "webapp/RouteTables.h"

namespace webapp {

/// Enters "playlisttracks.js" into `routes`: facts of a run of playlist
/// entries, for a client that shows durations and tags beside the names of
/// "playlist.xml" (which stays as it is).
///
/// Parameters: "start" (first index, default 0), "count" (default 200, at
/// most 500), "callback" (as "library.js": only a function name is kept).
/// Answer: callback({"start" : "N","total" : "N","tracks" : [ one object per
/// line, {"index" : "N","duration" : "ms","title" : "..","artist" : "..",
/// "album" : "..","cover" : ".."} ]}); every value urlEncoded, "total" the
/// playlist's length. A local file inside the shared directories has the
/// tags the index stored for it when the index knows it at its present size
/// and modification time; otherwise it is read with readTrackTags, at most
/// 200 files per request, and the result is kept (by path, size and
/// modification time) in a small cache the route owns, so a page asked
/// again reads nothing. Anything else (a stream URL, a file outside
/// the shares, a missing or unreadable file, a read past the bound) gives
/// "0" and "". The cover is "cover?path=" + urlEncode(path) when the file
/// has an embedded picture or its folder a cover file (folderCoverFile),
/// else "".
///
/// Runs on the serving threads, several at once; takes no application lock
/// (the entries are read one by one from the player, as "playlist.xml"
/// does).
void addPlaylistTracksRoute(RouteTable& routes);

} // namespace webapp
