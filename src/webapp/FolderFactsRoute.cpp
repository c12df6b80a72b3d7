#include "webapp/FolderFactsRoute.h"

#include "webapp/LibraryRoutes.h"

#include "library/EntryOrder.h"
#include "library/FolderCover.h"
#include "library/IndexedFileTags.h"
#include "library/LibraryPath.h"
#include "library/MediaLibrary.h"
#include "library/TagCatalog.h"
#include "library/TagReader.h"
#include "webapp/RequestContext.h"
#include "webapp/RouteParameters.h"
#include "webapp/ScriptText.h"
#include "webapp/TrackEntryText.h"
#include "webapp/WebApplication.h"

#include <algorithm>
#include <tuple>

namespace webapp {

namespace {

using library::TrackRecord;

/// The listing's entries, unsorted and without "..": those of "library.js"
/// for the root, a search or a local folder; none for other path kinds.
std::vector<library::LibraryEntry> folderEntries(const library::MediaLibrary& media, const std::string& path,
                                                 bool isRoot)
{
    const bool search = path.starts_with(library::searchPrefix) || path.starts_with(library::folderSearchPrefix);
    if (!isRoot && !search && !library::isLocalPath(path))
        return {};
    std::vector<library::LibraryEntry> entries = listingEntries(media, path, isRoot);
    std::erase_if(entries, [](const library::LibraryEntry& entry) { return library::fileNamePart(entry.path) == ".."; });
    return entries;
}

/// `a` before `b` by the tag key `key` (3 duration, 4 artist, 5 album,
/// 6 title, 7 disc then track); false for any other key.
bool tagBefore(int key, const TrackRecord& a, const TrackRecord& b)
{
    const library::TrackTags& x = a.tags;
    const library::TrackTags& y = b.tags;
    switch (key) {
    case 3: return x.durationMs < y.durationMs;
    case 4: return x.artist != y.artist && library::TagCatalog::nameOrder(x.artist, y.artist);
    case 5: return x.album != y.album && library::TagCatalog::nameOrder(x.album, y.album);
    case 6: return x.title != y.title && library::TagCatalog::nameOrder(x.title, y.title);
    case 7: return std::tie(x.disc, x.track) < std::tie(y.disc, y.track);
    default: return false;
    }
}

void sortFacts(std::vector<TrackRecord>& records, int key, int direction)
{
    // Name order first, so ties and unknown keys keep it.
    const library::EntryOrder byName(library::EntryOrder::byName, library::EntryOrder::ascending);
    std::stable_sort(records.begin(), records.end(),
                     [&](const TrackRecord& a, const TrackRecord& b) { return byName(a.entry, b.entry); });
    if (key == 0 && direction == 0)
        return;
    if (direction != 0 && direction != 1)
        return;
    const bool reversed = direction == 1;
    auto before = [&](const TrackRecord& a, const TrackRecord& b) {
        if (key >= 0 && key <= 2)
            return library::EntryOrder(key, library::EntryOrder::ascending)(a.entry, b.entry);
        return tagBefore(key, a, b);
    };
    std::stable_sort(records.begin(), records.end(), [&](const TrackRecord& a, const TrackRecord& b) {
        return reversed ? before(b, a) : before(a, b);
    });
}

} // namespace

void sendFolderFacts(WebApplication& application, RequestContext& context)
{
    const library::MediaLibrary& music = *application.library;
    std::string path = parameter(context, "path");
    // A refused path is answered with the root listing, and says so.
    if (!music.isPathAllowed(path))
        path.clear();
    const bool isRoot = path.empty() || path == std::string(1, library::pathSeparator);

    std::vector<TrackRecord> records;
    for (library::LibraryEntry& entry : folderEntries(music, path, isRoot))
        records.push_back({std::move(entry), {}});
    sortFacts(records, 0, 0);
    // The media files, in name order: their tags from the index when it
    // knows them as they are now, else from the files themselves.
    std::vector<TrackRecord*> media;
    for (TrackRecord& record : records) {
        if (!isRoot && !record.entry.isDirectory() &&
            !music.playlistExtensions.contains(library::extensionOf(record.entry.path)) &&
            media.size() < maxIndexLookups)
            media.push_back(&record);
    }
    std::vector<library::LibraryEntry> files;
    for (const TrackRecord* record : media)
        files.push_back(record->entry);
    const std::vector<std::optional<library::TrackTags>> known = music.indexedTags().knownTags(files);
    int reads = 0;
    for (std::size_t i = 0; i < media.size(); ++i) {
        if (known[i]) {
            media[i]->tags = *known[i];
        } else if (reads < maxTagReads) {
            ++reads;
            if (std::optional<library::TrackTags> tags = library::readTrackTags(media[i]->entry.path))
                media[i]->tags = std::move(*tags);
        }
    }
    sortFacts(records, integerParameter(context, "sortby"), integerParameter(context, "sortdir"));

    std::vector<std::string> objects;
    if (!isRoot)
        objects.emplace_back(R"({"name" : "..","type" : "$UP$"})");
    std::string coveredFolder;
    bool folderHasCover = false;
    for (const TrackRecord& record : records) {
        bool hasCover = record.tags.hasPicture;
        if (!hasCover && !isRoot && !record.entry.isDirectory()) {
            // Every child shares one folder (search hits aside).
            const std::string folder(record.entry.path.substr(0, record.entry.path.rfind(library::pathSeparator)));
            if (folder != coveredFolder) {
                coveredFolder = folder;
                folderHasCover = !library::folderCoverFile(folder).empty();
            }
            hasCover = folderHasCover;
        }
        objects.push_back(trackEntryText(record, hasCover ? coverUrl(record.entry.path) : "",
                                         isRoot ? std::string_view(record.entry.path) : std::string_view()));
    }
    sendText(context, scriptCall(scriptCallback(parameter(context, "callback")),
                                 "{" + quotedField("path", path) + ",\"files\" : [" + objectLines(objects) + "]}"));
}

} // namespace webapp
