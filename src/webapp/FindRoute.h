#pragma once

namespace webapp {

class WebApplication;
struct RequestContext;

/// "find.js": a page of a search's hits with their facts, and how many hits
/// there are. Parameters "q" (the query), "folders" (1: directories only),
/// "start" (first hit, default 0), "count" (default 100, at most 1000),
/// "sortby" (absent or -1: relevance; 0 name, 1 modified, 2 size,
/// 3 duration, 4 artist, 5 album, 6 title, 7 disc and track), "sortdir"
/// (1: descending), "callback" (as "library.js"). Only hits in the shared
/// directories count. A hit's cover is "cover?path=" + its encoded path when
/// it has an embedded picture or its folder (a directory: itself) holds a
/// cover file. Runs on the request's thread, takes no lock of the
/// application; a failed search answers total 0 and no entries.
void sendFind(WebApplication& application, RequestContext& context);

} // namespace webapp
