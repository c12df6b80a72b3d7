#include "library/MediaLibrary.h"

#include "discovery/DiscoveryAgent.h"
#include "settings/PluginPaths.h"
#include "settings/Settings.h"
#include "message/Response.h"
#include "library/FetchUrl.h"
#include "library/IndexedFileTags.h"
#include "library/Indexer.h"
#include "library/LibraryPath.h"
#include "library/LibrarySearch.h"
#include "library/PeerPlaylist.h"
#include "library/TagCatalog.h"
#include "platform/Datagram.h"
#include "platform/Files.h"

#include "message/UrlCoding.h"

#include <algorithm>
#include <utility>

namespace library {

namespace {

/// Whether the "path" parameter of a peer URL is an album or artist path,
/// whose items the peer lists in track order.
bool namesPeerTagPath(std::string_view url)
{
    PeerUrl parts;
    if (!splitPeerUrl(url, parts))
        return false;
    const std::string_view query = parts.query;
    for (std::size_t at = 0; at < query.size();) {
        std::size_t end = query.find('&', at);
        if (end == std::string_view::npos)
            end = query.size();
        const std::string_view item = query.substr(at, end - at);
        if (item.starts_with("path=")) {
            std::string value(item.substr(5));
            http::urlDecode(value);
            return value.starts_with(albumPrefix) || value.starts_with(artistPrefix);
        }
        at = end + 1;
    }
    return false;
}

} // namespace

MediaLibrary::MediaLibrary(host::Settings& settings)
    : mediaExtensions{"mp3", "mp2", "mp1", "wav", "ogg", "flac", "m4a", "ape", "aac",
                      "wma", "m3u", "pls", "avi", "mpg", "mp4", "wmv", "mov"},
      playlistExtensions{"m3u", "pls"},
      index(std::make_unique<Indexer>(settings.snapshot().sharedDirs,
                                      Indexer::Extensions(mediaExtensions.begin(), mediaExtensions.end()),
                                      host::pathWithoutExtension(settings.iniPath))),
      indexFinished(this, &MediaLibrary::onIndexFinished),
      discoveryAgent(std::make_unique<discovery::DiscoveryAgent>(
          [&settings] { return static_cast<std::uint16_t>(settings.snapshot().listenPort); })),
      searcher(std::make_unique<LibrarySearch>(index->indexDirectory())),
      catalog(std::make_unique<TagCatalog>(index->indexDirectory())),
      fileTags(std::make_unique<IndexedFileTags>(index->indexDirectory())),
      settings(settings),
      covers(std::make_unique<CoverStore>(index->indexDirectory() + "/cover-cache", [this](std::string_view name) {
          return isListable(name, FindData::normalAttribute, false);
      }))
{
    index->onFinished.add(&indexFinished);
    index->setPreparation([this](const std::string& folder) { prepareIndex(folder); });
    discoveryAgent->start();
}

MediaLibrary::~MediaLibrary()
{
    if (preparing.joinable()) {
        preparing.request_stop();
        preparing.join();
    }
    // Unsubscribed first: a rebuild cut short by the indexer's deletion then
    // leaves `needsIndex` set for the next start.
    index->onFinished.remove(&indexFinished);
    // Its thread ended before what its preparation reads into goes, and
    // before the pointer to it changes: a rebuild ending now may still be
    // in its finishing observers, which read it.
    index->stop();
    index.reset();
    searcher.reset();
    discoveryAgent->stop();
}

bool MediaLibrary::isPathAllowed(std::string_view path) const
{
    return isPathAllowedIn(path, sharedDirectories());
}

bool MediaLibrary::isPathAllowedIn(std::string_view path, const std::vector<std::string>& sharedDirs)
{
    if (!isLocalPath(path))
        return true;
    const std::string local = withoutTrailingSeparators(path);
    for (const std::string& shared : sharedDirs) {
        // An empty entry would be a prefix of every path. The shared root
        // "/" is the prefix "" of every absolute path.
        if (shared.empty())
            continue;
        const std::string_view prefix = shared == "/" ? std::string_view() : std::string_view(shared);
        if (!local.starts_with(prefix))
            continue;
        if (local.size() != prefix.size() && local[prefix.size()] != pathSeparator)
            continue;
        // The text test alone would let "/music/../etc" through for "/music".
        return !climbsOrHidesParts(std::string_view(local).substr(prefix.size()));
    }
    return false;
}

bool MediaLibrary::isListable(std::string_view name, std::uint32_t attributes, bool withPlaylists) const
{
    if (name == ".")
        return false;
    const std::string extension = extensionOf(name);
    if (!withPlaylists && playlistExtensions.contains(extension))
        return false;
    return (attributes & FindData::directoryAttribute) != 0 || mediaExtensions.contains(extension);
}

void MediaLibrary::listDirectory(std::string_view directory, std::vector<LibraryEntry>& entries) const
{
    const std::string base = withoutTrailingSeparators(directory);
    DirectoryEnumeration enumeration;
    if (!enumeration.open(base + pathSeparator))
        return;
    FindData child;
    while (enumeration.next(child)) {
        if (isListable(child.name, child.attributes, true))
            entries.push_back({base + pathSeparator + child.name, child.attributes, child.lastWriteTime,
                               child.sizeLow});
    }
}

std::size_t MediaLibrary::search(std::string_view query, bool foldersOnly, std::vector<LibraryEntry>& entries) const
{
    // The index may be older than the settings: a hit in a directory no
    // longer shared (or one that is not a local path) is not shown.
    const std::vector<std::string> shared = sharedDirectories();
    return searcher->search(query, foldersOnly, entries, [&shared](std::string_view path) {
        return isLocalPath(path) && isPathAllowedIn(path, shared);
    });
}

LibrarySearch::PathFilter MediaLibrary::sharedFilter(const std::vector<std::string>& shared)
{
    return [shared](std::string_view path) { return isLocalPath(path) && isPathAllowedIn(path, shared); };
}

std::string MediaLibrary::sharedIdentity(const std::vector<std::string>& shared)
{
    // The filter's answers change only with the shared directories.
    std::string identity;
    for (const std::string& directory : shared)
        identity.append(directory).push_back('\0');
    return identity;
}

LibrarySearch::Page MediaLibrary::find(std::string_view query, const LibrarySearch::FindRequest& request) const
{
    const std::vector<std::string> shared = sharedDirectories();
    return searcher->find(query, request, sharedFilter(shared), sharedIdentity(shared));
}

void MediaLibrary::prepareIndex(const std::string& folder, const std::stop_token& stop) const
{
    catalog->prepare(folder);
    if (stop.stop_requested())
        return;
    const std::vector<std::string> shared = sharedDirectories();
    searcher->prepare(folder, sharedFilter(shared), sharedIdentity(shared));
}

void MediaLibrary::prepareCurrentIndex()
{
    if (preparing.joinable())
        return;
    preparing = std::jthread([this](std::stop_token stop) {
        const std::string current = IndexStore(index->indexDirectory()).currentIndex();
        if (!current.empty())
            prepareIndex(current, stop);
    });
}

bool MediaLibrary::isPlaylistEntryAllowed(std::string_view path) const
{
    if (!isPathAllowed(path))
        return false;
    if (!isLocalPath(path))
        return true;
    // A missing file is left to the player, which skips what it cannot play.
    platform::FileStatus status;
    return !platform::statusOfPath(std::string(path), status) || status.isRegular();
}

void MediaLibrary::expandPath(std::string_view path, std::vector<std::string>& out) const
{
    Visited visited;
    const std::size_t limit = out.size() + maxExpansion;
    if (path.starts_with(peerPrefix)) {
        if (path.find("/stream?") == std::string_view::npos) {
            out.emplace_back(path);
        } else if (mayFetchFrom(path)) {
            http::Response answer;
            const std::size_t before = out.size();
            if (fetchUrl(path, answer, {}, &fetchGate))
                appendPeerItems(answer.body, out, limit);
            keepItemsOfPeer(path, out, before);
            // In the peer's track order, as an album of this library.
            if (namesPeerTagPath(path))
                return;
        }
    } else if (path.starts_with(searchPrefix) || path.starts_with(folderSearchPrefix)) {
        const bool foldersOnly = path.starts_with(folderSearchPrefix);
        std::vector<LibraryEntry> hits;
        // Only local hits in shared directories come back.
        search(path.substr(foldersOnly ? folderSearchPrefix.size() : searchPrefix.size()), foldersOnly, hits);
        for (const LibraryEntry& hit : hits)
            expandLocal(hit.path, out, visited, limit);
    } else if (TagPath tagPath; parseTagPath(path, tagPath)) {
        // Kept in track order: these paths are not sorted by bytes.
        auto readable = [this](std::string_view track) { return isTrackReadable(track); };
        const std::vector<TrackRecord> tracks = tagPath.isAlbum
                                                    ? catalog->albumTracks(tagPath.artist, tagPath.album, readable)
                                                    : catalog->artistTracks(tagPath.artist, readable);
        for (const TrackRecord& track : tracks) {
            if (out.size() >= limit)
                break;
            out.push_back(track.entry.path);
        }
        return;
    } else if (isPathAllowed(path)) {
        expandLocal(std::string(path), out, visited, limit);
    }
    std::sort(out.begin(), out.end());
}

bool MediaLibrary::isTrackReadable(std::string_view path) const
{
    platform::FileStatus status;
    return isLocalPath(path) && isPathAllowed(path) && platform::statusOfPath(std::string(path), status) &&
           status.isRegular();
}

void MediaLibrary::expandLocal(const std::string& path, std::vector<std::string>& out, Visited& visited,
                               std::size_t limit) const
{
    if (out.size() >= limit)
        return;
    const std::string base = withoutTrailingSeparators(path);
    FindData found;
    if (findFile(base, found) && !found.isDirectory()) {
        out.push_back(base);
        return;
    }
    DirectoryEnumeration enumeration;
    if (!enumeration.open(base + pathSeparator))
        return;
    // A symbolic link back up the tree would otherwise be entered for ever.
    if (!visited.insert(enumeration.identity()).second)
        return;
    std::vector<std::string> subdirectories;
    FindData child;
    while (out.size() < limit && enumeration.next(child)) {
        if (child.name == ".." || !isListable(child.name, child.attributes, false))
            continue;
        std::string full = base + pathSeparator + child.name;
        if (child.isDirectory())
            subdirectories.push_back(std::move(full));
        else
            out.push_back(std::move(full));
    }
    // Closed before descending, so a deep tree holds one directory open at a time.
    enumeration.close();
    for (const std::string& subdirectory : subdirectories)
        expandLocal(subdirectory, out, visited, limit);
}

FindData MediaLibrary::fileInfo(std::string_view path) const
{
    FindData found;
    if (!isLocalPath(path) || !isPathAllowed(path) || !findFile(std::string(path), found) ||
        !isListable(found.name, found.attributes, true))
        return {};
    return found;
}

bool MediaLibrary::reindex()
{
    if (index->threadId() != 0 || !index->setSharedDirectories(sharedDirectories()))
        return false;
    // Marked before the start: a rebuild may end, and clear the mark, before
    // `start` has even returned.
    const bool wasMarked =
        settings.update([](host::SettingsData& data) { return std::exchange(data.needsIndex, true); });
    settings.save();
    if (!index->start()) {
        settings.update([wasMarked](host::SettingsData& data) { data.needsIndex = wasMarked; });
        settings.save();
        return false;
    }
    index->startedEvent.wait();
    return true;
}

bool MediaLibrary::isIndexing() const
{
    return index->startTime() != 0 && index->endTime() == 0;
}

std::vector<discovery::PeerEntry> MediaLibrary::peers() const
{
    return discoveryAgent->peers();
}

PeerAccess MediaLibrary::peerAccess(std::vector<std::string> saved) const
{
    PeerAccess access;
    for (const discovery::PeerEntry& peer : peers())
        access.heard.push_back(platform::dottedAddress(peer.sender.address) + ":" + std::to_string(peer.port));
    access.saved = std::move(saved);
    for (std::string& noted : notedPlaces.all())
        access.saved.push_back(std::move(noted));
    access.ownPort = static_cast<std::uint16_t>(settings.snapshot().listenPort);
    return access;
}

bool MediaLibrary::mayFetchFrom(std::string_view url) const
{
    PeerUrl parts;
    return splitPeerUrl(url, parts) && mayAskPeer(parts.authority, peerAccess());
}

std::vector<std::string> MediaLibrary::sharedDirectories() const
{
    return settings.snapshot().sharedDirs;
}

std::intptr_t MediaLibrary::onIndexFinished(threading::CallbackArgument)
{
    if (index->lastRebuildComplete()) {
        settings.update([](host::SettingsData& data) { data.needsIndex = false; });
        settings.save();
    }
    return 0;
}

} // namespace library
