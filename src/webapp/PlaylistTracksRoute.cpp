#include "webapp/PlaylistTracksRoute.h"

#include "library/FolderCover.h"
#include "library/IndexedFileTags.h"
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
#include <memory>
#include <vector>

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

std::string field(std::string_view key, std::string_view value)
{
    return "\"" + std::string(key) + "\" : \"" + http::urlEncode(value) + "\"";
}

/// The tags of a local shared file not in the index: cached, or read while
/// the request's bound lasts; nothing for anything else.
class EntryFacts {
public:
    explicit EntryFacts(library::RecentTags& recent) : recent(recent) {}

    std::optional<library::TrackTags> of(const std::string& path)
    {
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
    library::RecentTags& recent;
    int reads = 0;
};

void sendPlaylistTracks(WebApplication& application, RequestContext& context, library::RecentTags& recent)
{
    PlayerFacade& facade = *application.facade;
    const library::MediaLibrary& music = *application.library;
    const int total = std::max(0, facade.listLength());
    const int start = std::clamp(integerParameter(context, "start"), 0, total);
    const int asked = parameter(context, "count").empty() ? defaultCount : integerParameter(context, "count");
    const int end = start + std::min(std::clamp(asked, 0, maxCount), total - start);

    // The page's local shared files: their tags from the index when it
    // knows them as they are now, else from the cache or the files.
    std::vector<std::string> paths;
    std::vector<library::LibraryEntry> files;
    std::vector<std::size_t> fileAt;   // index into paths of each of files
    for (int i = start; i < end; ++i) {
        paths.push_back(facade.fileAt(i));
        const std::string& path = paths.back();
        if (!library::isLocalPath(path) || !music.isPathAllowed(path))
            continue;
        const library::FindData info = music.fileInfo(path);
        if (info.name.empty() || info.isDirectory())
            continue;
        files.push_back({path, info.attributes, info.lastWriteTime, info.sizeLow});
        fileAt.push_back(paths.size() - 1);
    }
    const std::vector<std::optional<library::TrackTags>> known = music.indexedTags().knownTags(files);
    std::vector<std::optional<library::TrackTags>> tagsOf(paths.size());
    EntryFacts facts(recent);
    for (std::size_t k = 0; k < files.size(); ++k)
        tagsOf[fileAt[k]] = known[k] ? known[k] : facts.of(files[k].path);

    std::string body = "{" + field("start", std::to_string(start)) + "," + field("total", std::to_string(total)) +
                       ",\"tracks\" : [";
    std::string coveredFolder;
    bool folderCovered = false;
    for (std::size_t k = 0; k < paths.size(); ++k) {
        const std::string& path = paths[k];
        const library::TrackTags tags = tagsOf[k].value_or(library::TrackTags{});
        bool covered = tags.hasPicture;
        if (!covered && std::find(fileAt.begin(), fileAt.end(), k) != fileAt.end()) {
            // Neighbouring entries mostly share a folder: look it up once.
            const std::string folder = path.substr(0, path.rfind(library::pathSeparator));
            if (folder != coveredFolder) {
                coveredFolder = folder;
                folderCovered = !library::folderCoverFile(folder).empty();
            }
            covered = folderCovered;
        }
        body += k == 0 ? "\n{" : ",\n{";
        body += field("index", std::to_string(start + static_cast<int>(k))) + "," +
                field("duration", std::to_string(tags.durationMs)) + "," + field("title", tags.title) + "," +
                field("artist", tags.artist) + "," + field("album", tags.album) + "," +
                field("cover", covered ? "cover?path=" + http::urlEncode(path) : std::string()) + "}";
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
