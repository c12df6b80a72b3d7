#pragma once

#include "library/PlaylistFile.h"

#include <string>
#include <string_view>
#include <vector>

namespace webapp {

/// The M3U texts of "stream": every local item becomes a "download" URL of
/// this server, reached through `host` (the request's "Host", possibly
/// empty) and carrying `token` (the session's URL token) in "auth", so a
/// player without the browser's cookie or password may fetch it. Pure; any
/// thread.

/// "http://" host "/download?path=" (the percent-encoded path) "&auth=" token.
std::string downloadUrl(std::string_view host, std::string_view path, std::string_view token);

/// One item per path, in order, titled by the text after its last
/// separator, length 0: a local path as its download URL, a URL (a scheme
/// and "://") as it is.
std::string exportPaths(const std::vector<std::string>& paths, std::string_view host, std::string_view token);

/// The items of the playlist file `playlistPath`, with their titles and
/// lengths: a relative entry as "http://" host "/download?auth=" token
/// "&path=" and the percent-encoded playlist directory (with its final
/// separator) and entry; an absolute entry (beginning with the separator)
/// as the download URL of that path; a URL as it is.
std::string exportPlaylist(const library::PlaylistFile& playlist, std::string_view playlistPath,
                           std::string_view host, std::string_view token);

} // namespace webapp
