#include "player/TrackTags.h"

#include "platform/PathSeparator.h"

#include <algorithm>
#include <cctype>

namespace player {

std::string displayName(const std::string& file)
{
    constexpr char separators[] = {'/', platform::pathSeparator, '\0'};
    auto slash = file.find_last_of(separators);
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return name.empty() ? file : name;
}

bool isLocalFile(const std::string& file)
{
    return file.find("://") == std::string::npos;
}

namespace {

/// The last part of the percent-decoded "path=" parameter of `url`; empty
/// when it has none.
std::string pathParameterName(const std::string& url)
{
    auto query = url.find('?');
    if (query == std::string::npos)
        return {};
    auto at = url.find("path=", query);
    while (at != std::string::npos && url[at - 1] != '?' && url[at - 1] != '&')
        at = url.find("path=", at + 1);
    if (at == std::string::npos)
        return {};
    std::string value;
    for (auto i = at + 5; i < url.size() && url[i] != '&'; ++i) {
        if (url[i] == '%' && i + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(url[i + 2]))) {
            auto digit = [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
            };
            value.push_back(static_cast<char>(digit(url[i + 1]) * 16 + digit(url[i + 2])));
            i += 2;
        } else {
            value.push_back(url[i]);
        }
    }
    auto slash = value.find_last_of('/');
    return slash == std::string::npos ? value : value.substr(slash + 1);
}

bool namesFile(const std::string& name, const std::string& title)
{
    if (name.empty())
        return false;
    if (title == name)
        return true;
    auto dot = name.find_last_of('.');
    return dot != std::string::npos && dot > 0 && title == name.substr(0, dot);
}

} // namespace

bool isPlaceholderTitle(const std::string& file, const std::string& title)
{
    return title.empty() || namesFile(displayName(file), title) ||
           (!isLocalFile(file) && namesFile(pathParameterName(file), title));
}

std::string extendedInfoField(const TrackTags& tags, std::string_view name)
{
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    auto number = [](long value) { return value > 0 ? std::to_string(value) : std::string(); };
    if (key == "artist")
        return tags.artist;
    if (key == "album")
        return tags.album;
    if (key == "title")
        return tags.title;
    if (key == "genre")
        return tags.genre;
    if (key == "comment")
        return tags.comment;
    if (key == "length")
        return number(tags.lengthMs);
    if (key == "year")
        return number(tags.year);
    if (key == "track")
        return number(tags.track);
    if (key == "bitrate")
        return number(tags.bitrate);
    return {};
}

} // namespace player
