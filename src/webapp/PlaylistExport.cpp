#include "webapp/PlaylistExport.h"

#include "message/UrlCoding.h"
#include "library/LibraryPath.h"

namespace webapp {

namespace {

/// A scheme of letters, digits, "+", "-" or "." before "://". A file name
/// may hold ":" ("Live: Side A.mp3"), so a colon alone does not make a URL.
bool isUrl(std::string_view path)
{
    const std::size_t colon = path.find("://");
    if (colon == std::string_view::npos || colon == 0)
        return false;
    for (char c : path.substr(0, colon)) {
        bool schemeByte = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '+' || c == '-' || c == '.';
        if (!schemeByte)
            return false;
    }
    return true;
}

} // namespace

std::string downloadUrl(std::string_view host, std::string_view path, std::string_view token)
{
    std::string url = "http://";
    url += host;
    url += "/download?path=";
    url += http::urlEncode(path);
    url += "&auth=";
    url += token;
    return url;
}

std::string exportPaths(const std::vector<std::string>& paths, std::string_view host, std::string_view token)
{
    library::PlaylistFile out;
    for (const std::string& path : paths) {
        std::string title(library::fileNamePart(path));
        // A peer's item is already a URL of its own server.
        out.add(isUrl(path) ? path : downloadUrl(host, path, token), std::move(title));
    }
    return out.writeM3u();
}

std::string exportPlaylist(const library::PlaylistFile& playlist, std::string_view playlistPath,
                           std::string_view host, std::string_view token)
{
    const std::size_t separator = playlistPath.rfind(library::pathSeparator);
    const std::string_view directory =
        separator == std::string_view::npos ? std::string_view() : playlistPath.substr(0, separator + 1);
    std::string prefix = "http://";
    prefix += host;
    prefix += "/download?auth=";
    prefix += token;
    prefix += "&path=";
    prefix += http::urlEncode(directory);

    library::PlaylistFile out;
    for (std::size_t i = 0; i < playlist.itemCount(); ++i) {
        library::PlaylistItem item = playlist.itemAt(i);
        if (item.path.starts_with(library::pathSeparator))
            item.path = downloadUrl(host, item.path, token);
        else if (!isUrl(item.path))
            item.path = prefix + http::urlEncode(item.path);
        out.add(item);
    }
    return out.writeM3u();
}

} // namespace webapp
