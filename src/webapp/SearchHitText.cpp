#include "webapp/SearchHitText.h"

#include "library/LibraryPath.h"
#include "message/UrlCoding.h"

namespace webapp {

namespace {

/// File times count 100 ns from 1601; these seconds lie between that and 1970.
constexpr std::uint64_t secondsFrom1601To1970 = 11644473600;

std::string unixSeconds(const library::FileTime& time)
{
    const std::uint64_t seconds = time.value() / 10000000;
    return std::to_string(seconds > secondsFrom1601To1970 ? seconds - secondsFrom1601To1970 : 0);
}

void add(std::string& out, std::string_view key, std::string_view value, bool first = false)
{
    out += first ? "{\"" : ",\"";
    out += key;
    out += "\" : \"";
    out += http::urlEncode(value);
    out += '"';
}

} // namespace

std::string hitEntryObject(const library::LibrarySearch::Hit& hit, std::string_view coverUrl)
{
    const library::LibraryEntry& entry = hit.entry;
    const library::TrackTags& tags = hit.tags;
    std::string out;
    add(out, "name", library::fileNamePart(entry.path), true);
    add(out, "path", entry.path);
    add(out, "type", entry.isDirectory() ? std::string("$DIR$") : library::extensionOf(entry.path));
    add(out, "size", std::to_string(entry.size));
    add(out, "modified", unixSeconds(entry.modified));
    add(out, "duration", std::to_string(tags.durationMs));
    add(out, "title", tags.title);
    add(out, "artist", tags.artist);
    add(out, "album", tags.album);
    add(out, "albumartist", tags.albumArtist);
    add(out, "track", std::to_string(tags.track));
    add(out, "disc", std::to_string(tags.disc));
    add(out, "year", std::to_string(tags.year));
    add(out, "genre", tags.genre);
    add(out, "cover", coverUrl);
    out += '}';
    return out;
}

std::string findObject(std::string_view query, std::size_t total, std::size_t start,
                       const std::vector<std::string>& entries)
{
    std::string out;
    add(out, "query", query, true);
    add(out, "total", std::to_string(total));
    add(out, "start", std::to_string(start));
    out += ",\"files\" : [";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out += i == 0 ? "\n" : ",\n";
        out += entries[i];
    }
    out += "]}";
    return out;
}

} // namespace webapp
