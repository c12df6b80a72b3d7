#pragma once

#include <cstddef>

namespace webapp {

class WebApplication;
struct RequestContext;

/// "files.js" ?path=&sortby=&sortdir=&callback=: a folder's children with
/// their facts (size, modification time, duration, tags, cover URL) as
/// entry objects (TrackEntryText), after a ".." entry except at the root.
/// The path rules are those of "library.js": a refused path answers the
/// root listing (the shared directories) with an empty "path"; a search
/// path lists its hits. The tags of the first `maxIndexLookups` media files
/// by name (playlists aside) come from the index when it knows the file with
/// its present size and modification time; else at most `maxTagReads` of
/// them are read from the files themselves; the others answer "0" and "".
/// sortby 0 name, 1 modified, 2 size, 3 duration,
/// 4 artist, 5 album, 6 title, 7 disc then track; sortdir 1 reverses; ties
/// and other values keep name order. Runs on a serving thread, no lock.
void sendFolderFacts(WebApplication& application, RequestContext& context);

/// The most media files whose tags one "files.js" answer reads, and looks up
/// in the index.
inline constexpr int maxTagReads = 200;
inline constexpr std::size_t maxIndexLookups = 2000;

} // namespace webapp
