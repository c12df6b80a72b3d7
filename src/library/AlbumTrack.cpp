#include "library/AlbumTrack.h"

#include "library/LibraryPath.h"

namespace library {

std::string firstAlbumTrack(const TagCatalog& catalog, std::string_view albumPath, const TagCatalog::PathFilter& keep)
{
    TagPath tagPath;
    if (!parseTagPath(albumPath, tagPath) || !tagPath.isAlbum)
        return {};
    const std::vector<TrackRecord> tracks = catalog.albumTracks(tagPath.artist, tagPath.album, keep);
    return tracks.empty() ? std::string() : tracks.front().entry.path;
}

} // namespace library
