#include "library/LibraryPath.h"

#include "message/UrlCoding.h"

namespace library {

std::string extensionOf(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? name : name.substr(dot + 1));
    // C-locale lower-casing: bytes above 0x7f stay as they are.
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

std::string_view fileNamePart(std::string_view path)
{
    const std::size_t separator = path.rfind(pathSeparator);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string withoutTrailingSeparators(std::string_view path)
{
    while (!path.empty() && path.back() == pathSeparator)
        path.remove_suffix(1);
    return std::string(path);
}

std::string sharedDirectoryForm(std::string_view path)
{
    std::string stored = withoutTrailingSeparators(path);
    if (stored.empty() && !path.empty())
        stored = pathSeparator;
    return stored;
}

bool isLocalPath(std::string_view path)
{
    return !path.starts_with(peerPrefix) && !path.starts_with(searchPrefix) &&
           !path.starts_with(folderSearchPrefix) && !path.starts_with(albumPrefix) &&
           !path.starts_with(artistPrefix);
}

std::string albumPath(std::string_view artist, std::string_view album)
{
    return std::string(albumPrefix) + http::urlEncode(artist) + "/" + http::urlEncode(album);
}

std::string artistPath(std::string_view artist)
{
    return std::string(artistPrefix) + http::urlEncode(artist);
}

bool parseTagPath(std::string_view path, TagPath& out)
{
    auto decoded = [](std::string_view part) {
        std::string text(part);
        http::urlDecode(text);
        return text;
    };
    if (path.starts_with(artistPrefix)) {
        path.remove_prefix(artistPrefix.size());
        if (path.find('/') != std::string_view::npos)
            return false;
        out = {false, decoded(path), {}};
        return true;
    }
    if (!path.starts_with(albumPrefix))
        return false;
    path.remove_prefix(albumPrefix.size());
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos || path.find('/', slash + 1) != std::string_view::npos)
        return false;
    out = {true, decoded(path.substr(0, slash)), decoded(path.substr(slash + 1))};
    return true;
}

bool climbsOrHidesParts(std::string_view path)
{
    // A NUL ends the path for the file system, which would then see a shorter
    // path than the one tested (".." followed by NUL, say).
    if (path.find('\0') != std::string_view::npos)
        return true;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(pathSeparator, start);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == "." || part == "..")
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace library
