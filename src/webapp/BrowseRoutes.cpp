#include "webapp/BrowseRoutes.h"

#include "message/Request.h"
#include "library/FolderCover.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/TagCatalog.h"
#include "webapp/FolderFactsRoute.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/TrackEntryText.h"
#include "webapp/WebApplication.h"

#include <algorithm>
#include <map>

namespace webapp {

namespace {

constexpr int browseDefaultCount = 500;
constexpr int browseMaximumCount = 5000;

void sendBrowseObject(RequestContext& context, std::string_view object)
{
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")), object));
}

std::size_t browseStart(const RequestContext& context)
{
    return static_cast<std::size_t>(std::max(0, integerParameter(context, "start")));
}

std::size_t browseCount(const RequestContext& context)
{
    const int count = integerParameter(context, "count");
    return static_cast<std::size_t>(count <= 0 ? browseDefaultCount : std::min(count, browseMaximumCount));
}

/// `{"total" : "N","start" : "N","<key>" : [` lines `]}`.
std::string browsePage(std::size_t total, std::size_t start, std::string_view key,
                       const std::vector<std::string>& objects)
{
    return "{" + quotedField("total", std::to_string(total)) + "," + quotedField("start", std::to_string(start)) +
           ",\"" + std::string(key) + "\" : [" + objectLines(objects) + "]}";
}

/// The folder of a file path.
std::string_view trackFolder(std::string_view path)
{
    const std::size_t separator = path.rfind(library::pathSeparator);
    return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator);
}

/// Whether an album or a track has a cover: its own picture, else a cover
/// file in the folder of `track`. Remembers folders within one answer.
class CoverFolders {
public:
    bool has(bool hasPicture, std::string_view track)
    {
        if (hasPicture)
            return true;
        if (track.empty())
            return false;
        const std::string folder(trackFolder(track));
        auto found = known.find(folder);
        if (found == known.end())
            found = known.emplace(folder, !library::folderCoverFile(folder).empty()).first;
        return found->second;
    }

private:
    std::map<std::string, bool, std::less<>> known;
};

void sendArtists(WebApplication& application, RequestContext& context)
{
    const std::vector<library::TagCatalog::ArtistSummary> artists =
        application.library->tags().artists(parameter(context, "genre"));
    const std::size_t start = std::min(browseStart(context), artists.size());
    const std::size_t end = start + std::min(browseCount(context), artists.size() - start);
    std::vector<std::string> objects;
    for (std::size_t i = start; i < end; ++i) {
        const library::TagCatalog::ArtistSummary& artist = artists[i];
        objects.push_back("{" + quotedField("name", artist.name) + "," +
                          quotedField("albums", std::to_string(artist.albums)) + "," +
                          quotedField("tracks", std::to_string(artist.tracks)) + "," +
                          quotedField("path", library::artistPath(artist.name)) + "}");
    }
    sendBrowseObject(context, browsePage(artists.size(), start, "artists", objects));
}

void sendAlbums(WebApplication& application, RequestContext& context)
{
    library::TagCatalog::AlbumQuery query;
    const auto artist = context.request.params.find("artist");
    query.anyArtist = artist == context.request.params.end();
    if (!query.anyArtist)
        query.artist = artist->second;
    query.genre = parameter(context, "genre");
    query.year = integerParameter(context, "year");
    query.sortBy = integerParameter(context, "sortby");
    query.start = browseStart(context);
    query.count = browseCount(context);
    std::size_t total = 0;
    const library::MediaLibrary& media = *application.library;
    // The index may still hold folders no longer shared.
    const std::vector<library::TagCatalog::AlbumSummary> albums =
        media.tags().albums(query, total, [&media](std::string_view track) { return media.isPathAllowed(track); });
    CoverFolders covers;
    std::vector<std::string> objects;
    for (const library::TagCatalog::AlbumSummary& album : albums) {
        const std::string path = library::albumPath(album.artist, album.name);
        objects.push_back("{" + quotedField("name", album.name) + "," + quotedField("artist", album.artist) + "," +
                          quotedField("year", std::to_string(album.year)) + "," +
                          quotedField("tracks", std::to_string(album.tracks)) + "," +
                          quotedField("duration", std::to_string(album.durationMs)) + "," +
                          quotedField("path", path) + "," +
                          quotedField("cover", covers.has(album.hasPicture, album.firstTrack) ? coverUrl(path) : "") +
                          "}");
    }
    sendBrowseObject(context, browsePage(total, std::min(query.start, total), "albums", objects));
}

void sendAlbum(WebApplication& application, RequestContext& context)
{
    const library::MediaLibrary& media = *application.library;
    const std::string path = parameter(context, "path");
    library::TagPath album;
    std::vector<library::TrackRecord> tracks;
    if (library::parseTagPath(path, album) && album.isAlbum)
        tracks = media.tags().albumTracks(album.artist, album.album,
                                          [&media](std::string_view track) { return media.isTrackReadable(track); });
    else
        album = {};
    int year = 0;
    std::int64_t duration = 0;
    bool hasPicture = false;
    CoverFolders covers;
    std::vector<std::string> objects;
    for (const library::TrackRecord& track : tracks) {
        year = year != 0 ? year : track.tags.year;
        duration += track.tags.durationMs;
        hasPicture = hasPicture || track.tags.hasPicture;
        const bool hasCover = covers.has(track.tags.hasPicture, track.entry.path);
        objects.push_back(trackEntryText(track, hasCover ? coverUrl(track.entry.path) : ""));
    }
    const bool albumCover = !tracks.empty() && covers.has(hasPicture, tracks.front().entry.path);
    sendBrowseObject(context, "{" + quotedField("path", album.isAlbum ? path : "") + "," +
                            quotedField("name", album.album) + "," + quotedField("artist", album.artist) + "," +
                            quotedField("year", std::to_string(year)) + "," +
                            quotedField("tracks", std::to_string(tracks.size())) + "," +
                            quotedField("duration", std::to_string(duration)) + "," +
                            quotedField("cover", albumCover ? coverUrl(path) : "") + ",\"files\" : [" +
                            objectLines(objects) + "]}");
}

void sendGroups(RequestContext& context, std::string_view key,
                const std::vector<library::TagCatalog::GroupSummary>& groups)
{
    std::vector<std::string> objects;
    for (const library::TagCatalog::GroupSummary& group : groups)
        objects.push_back("{" + quotedField("name", group.name) + "," +
                          quotedField("albums", std::to_string(group.albums)) + "," +
                          quotedField("tracks", std::to_string(group.tracks)) + "}");
    sendBrowseObject(context, "{\"" + std::string(key) + "\" : [" + objectLines(objects) + "]}");
}

void sendGenres(WebApplication& application, RequestContext& context)
{
    sendGroups(context, "genres", application.library->tags().genres());
}

void sendYears(WebApplication& application, RequestContext& context)
{
    sendGroups(context, "years", application.library->tags().years());
}

} // namespace

void addBrowseRoutes(RouteTable& routes)
{
    routes.insert_or_assign("artists.js", sendArtists);
    routes.insert_or_assign("albums.js", sendAlbums);
    routes.insert_or_assign("album.js", sendAlbum);
    routes.insert_or_assign("genres.js", sendGenres);
    routes.insert_or_assign("years.js", sendYears);
    routes.insert_or_assign("files.js", sendFolderFacts);
}

} // namespace webapp
