#include "library/MediaLibrary.h"

#include "host/Settings.h"
#include "library/LibraryPath.h"

#include <algorithm>

namespace library {

MediaLibrary::MediaLibrary(host::Settings& settings)
    : mediaExtensions{"mp3", "mp2", "mp1", "wav", "ogg", "flac", "m4a", "ape", "aac",
                      "wma", "m3u", "pls", "avi", "mpg", "mp4", "wmv", "mov"},
      playlistExtensions{"m3u", "pls"},
      indexFinished(this, &MediaLibrary::onIndexFinished),
      sharedDirs(settings.sharedDirs),
      settings(settings)
{
    // SEAM(indexer, search, discovery): made here, in that order, once they
    // exist; no thread of the indexer is started.
}

MediaLibrary::~MediaLibrary()
{
    // SEAM: delete the search component; remove `indexFinished` from the
    // indexer's finished delegate before deleting the indexer (a rebuild cut
    // short then leaves `needsIndex` set for the next start); stop and delete
    // the discovery agent.
}

bool MediaLibrary::isPathAllowed(std::string_view path) const
{
    if (!isLocalPath(path))
        return true;
    const std::string local = withoutTrailingSeparators(path);
    for (const std::string& shared : sharedDirs) {
        // An empty entry would be a prefix of every path.
        if (shared.empty() || !local.starts_with(shared))
            continue;
        if (local.size() != shared.size() && local[shared.size()] != pathSeparator)
            continue;
        // The text test alone would let "/music/../etc" through for "/music".
        return !climbsOrHidesParts(std::string_view(local).substr(shared.size()));
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
    if (query.empty())
        return 0;
    // SEAM(search): hand the query to `LibrarySearch`. Until the library owns
    // one there is no index to ask, and every search finds nothing.
    (void)foldersOnly;
    (void)entries;
    return 0;
}

void MediaLibrary::expandPath(std::string_view path, std::vector<std::string>& out) const
{
    Visited visited;
    if (path.starts_with(peerPrefix)) {
        if (path.find("/stream?") == std::string_view::npos)
            out.emplace_back(path);
        // SEAM(peer client): a "/stream?" URL is fetched and the line after
        // each "#EXTINF:" of the answer appended. Until the peer client
        // exists such a URL contributes nothing.
    } else if (path.starts_with(searchPrefix) || path.starts_with(folderSearchPrefix)) {
        const bool foldersOnly = path.starts_with(folderSearchPrefix);
        std::vector<LibraryEntry> hits;
        search(path.substr(foldersOnly ? folderSearchPrefix.size() : searchPrefix.size()), foldersOnly, hits);
        for (const LibraryEntry& hit : hits) {
            // Hits are local paths; one that is not, or that lies in a
            // directory no longer shared (the index may be older than the
            // settings), is dropped rather than expanded again.
            if (isLocalPath(hit.path) && isPathAllowed(hit.path))
                expandLocal(hit.path, out, visited);
        }
    } else if (isPathAllowed(path)) {
        expandLocal(std::string(path), out, visited);
    }
    std::sort(out.begin(), out.end());
}

void MediaLibrary::expandLocal(const std::string& path, std::vector<std::string>& out, Visited& visited) const
{
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
    while (enumeration.next(child)) {
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
        expandLocal(subdirectory, out, visited);
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
    // SEAM(indexer): ask the indexer to start; only when it did, set
    // `needsIndex`, save the settings and wait for the indexing thread's
    // started event. Until the library owns an indexer nothing can start, so
    // the flag and the file are left alone.
    return false;
}

bool MediaLibrary::isIndexing() const
{
    // SEAM(indexer): the indexer's start time is set and its end time is not.
    return false;
}

const std::vector<std::string>& MediaLibrary::sharedDirectories() const
{
    return sharedDirs;
}

std::intptr_t MediaLibrary::onIndexFinished(threading::CallbackArgument)
{
    settings.needsIndex = false;
    settings.save();
    return 0;
}

} // namespace library
