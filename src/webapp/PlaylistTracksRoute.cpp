#include "webapp/PlaylistTracksRoute.h"

#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/RecentTags.h"
#include "library/TagReader.h"
#include "message/UrlCoding.h"
#include "webapp/PlayerFacade.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/WebApplication.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <memory>
#include <system_error>

namespace webapp {

namespace {

constexpr int defaultCount = 200;
constexpr int maxCount = 500;
constexpr int maxReads = 200;

/// The size and modification time of a regular file; nothing for anything
/// else or a path that cannot be read.
std::optional<library::RecentTags::Stamp> stampOf(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return library::RecentTags::Stamp{static_cast<std::uint64_t>(status.st_size),
                                      static_cast<std::int64_t>(status.st_mtime)};
}

/// Whether the folder of `file` holds a cover picture by one of the usual names.
bool folderHasCover(const std::string& file)
{
    static constexpr std::array names{"cover", "folder", "front"};
    static constexpr std::array types{".jpg", ".png", ".webp"};
    const std::filesystem::path folder = std::filesystem::path(file).parent_path();
    std::error_code error;
    for (const char* name : names)
        for (const char* type : types)
            if (std::filesystem::is_regular_file(folder / (std::string(name) + type), error))
                return true;
    return false;
}

std::string field(std::string_view key, std::string_view value)
{
    return "\"" + std::string(key) + "\" : \"" + http::urlEncode(value) + "\"";
}

/// One entry's facts: the tags of a local shared file (cached, or read while
/// `reads` lasts), else nothing.
class EntryFacts {
public:
    EntryFacts(const library::MediaLibrary& music, library::RecentTags& recent) : music(music), recent(recent) {}

    std::optional<library::TrackTags> of(const std::string& path)
    {
        if (!library::isLocalPath(path) || !music.isPathAllowed(path))
            return std::nullopt;
        const std::optional<library::RecentTags::Stamp> stamp = stampOf(path);
        if (!stamp)
            return std::nullopt;
        bool found = false;
        std::optional<library::TrackTags> tags = recent.find(path, *stamp, found);
        if (found || reads >= maxReads)
            return tags;
        ++reads;
        tags = library::readTrackTags(path);
        recent.store(path, *stamp, tags);
        return tags;
    }

private:
    const library::MediaLibrary& music;
    library::RecentTags& recent;
    int reads = 0;
};

void sendPlaylistTracks(WebApplication& application, RequestContext& context, library::RecentTags& recent)
{
    PlayerFacade& facade = *application.facade;
    const int total = std::max(0, facade.listLength());
    const int start = std::clamp(integerParameter(context, "start"), 0, total);
    const int asked = parameter(context, "count").empty() ? defaultCount : integerParameter(context, "count");
    const int end = start + std::min(std::clamp(asked, 0, maxCount), total - start);

    EntryFacts facts(*application.library, recent);
    std::string body = "{" + field("start", std::to_string(start)) + "," + field("total", std::to_string(total)) +
                       ",\"tracks\" : [";
    for (int i = start; i < end; ++i) {
        const std::string path = facade.fileAt(i);
        const library::TrackTags tags = facts.of(path).value_or(library::TrackTags{});
        const bool covered = !path.empty() && library::isLocalPath(path) && application.library->isPathAllowed(path) &&
                             (tags.hasPicture || folderHasCover(path));
        body += i == start ? "\n{" : ",\n{";
        body += field("index", std::to_string(i)) + "," + field("duration", std::to_string(tags.durationMs)) + "," +
                field("title", tags.title) + "," + field("artist", tags.artist) + "," + field("album", tags.album) +
                "," + field("cover", covered ? "cover?path=" + http::urlEncode(path) : std::string()) + "}";
    }
    body += "\n]}";
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")), body));
}

} // namespace

void addPlaylistTracksRoute(RouteTable& routes)
{
    // The cache lives as long as the route table, shared by every request.
    routes.insert_or_assign("playlisttracks.js",
                            [recent = std::make_shared<library::RecentTags>()](WebApplication& application,
                                                                               RequestContext& context) {
                                sendPlaylistTracks(application, context, *recent);
                            });
}

} // namespace webapp
