#include "webapp/TrackEntryText.h"

#include "library/LibraryPath.h"
#include "message/UrlCoding.h"

namespace webapp {

namespace {

/// File-time units (100 ns) between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t unixEpochFileTime = 116444736000000000ULL;

} // namespace

std::string quotedField(std::string_view key, std::string_view value)
{
    std::string out = "\"";
    out += key;
    out += "\" : \"";
    out += http::urlEncode(value);
    out += '"';
    return out;
}

std::string coverUrl(std::string_view path)
{
    return "cover?path=" + http::urlEncode(path);
}

std::int64_t unixSeconds(const library::FileTime& time)
{
    const std::uint64_t value = time.value();
    return value < unixEpochFileTime ? 0 : static_cast<std::int64_t>((value - unixEpochFileTime) / 10000000ULL);
}

std::string trackEntryText(const library::TrackRecord& track, std::string_view cover, std::string_view name)
{
    const library::LibraryEntry& entry = track.entry;
    const library::TrackTags& tags = track.tags;
    const std::string type = entry.isDirectory() ? "$DIR$" : library::extensionOf(entry.path);
    const std::pair<std::string_view, std::string> values[] = {
        {"name", std::string(name.empty() ? library::fileNamePart(entry.path) : name)},
        {"path", entry.path},
        {"type", type},
        {"size", std::to_string(entry.size)},
        {"modified", std::to_string(unixSeconds(entry.modified))},
        {"duration", std::to_string(tags.durationMs)},
        {"title", tags.title},
        {"artist", tags.artist},
        {"album", tags.album},
        {"albumartist", tags.albumArtist},
        {"track", std::to_string(tags.track)},
        {"disc", std::to_string(tags.disc)},
        {"year", std::to_string(tags.year)},
        {"genre", tags.genre},
        {"cover", std::string(cover)},
    };
    std::string out = "{";
    for (const auto& [key, value] : values) {
        if (out.size() > 1)
            out += ',';
        out += quotedField(key, value);
    }
    out += '}';
    return out;
}

std::string objectLines(const std::vector<std::string>& objects)
{
    std::string out;
    for (const std::string& object : objects) {
        if (!out.empty())
            out += ',';
        out += '\n';
        out += object;
    }
    return out;
}

} // namespace webapp
