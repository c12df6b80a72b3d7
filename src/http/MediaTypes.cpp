#include "http/MediaTypes.h"

namespace http {

const std::map<std::string, std::string, std::less<>>& mediaTypes()
{
    static const std::map<std::string, std::string, std::less<>> table{
        {"jpg", "image/jpeg"},
        {"gif", "image/gif"},
        {"css", "text/css"},
        {"xml", "text/xml"},
        {"js", "text/javascript"},
        {"ico", "image/x-icon"},
        {"mp3", "audio/mpeg"},
        {"mp2", "audio/mpeg"},
        {"mp1", "audio/mpeg"},
        {"wav", "audio/wav"},
        {"ogg", "application/ogg"},
        {"flac", "audio/x-flac"},
        {"m4a", "audio/mp4"},
        {"ape", "audio/monkeys-audio"},
        {"aac", "audio/x-aac"},
        {"wma", "audio/x-ms-wma"},
        {"m3u", "audio/m3u"},
        {"pls", "audio/scpls"},
        {"avi", "video/avi"},
        {"mpg", "video/mpg"},
        {"mp4", "video/mp4"},
        {"wmv", "video/x-ms-wvx"},
        {"mov", "video/quicktime"},
    };
    return table;
}

std::string mediaTypeFor(std::string_view extension)
{
    const auto& table = mediaTypes();
    auto found = table.find(extension);
    return found == table.end() ? std::string() : found->second;
}

} // namespace http
