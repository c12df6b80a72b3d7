#include "library/AlbumTrack.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"

namespace library {

std::optional<Cover> MediaLibrary::cover(std::string_view path, CoverStore::Variant variant) const
{
    std::string target;
    if (path.starts_with(albumPrefix)) {
        target = firstAlbumTrack(index->indexDirectory(), path,
                                 [this](std::string_view track) { return !fileInfo(track).name.empty(); });
    } else if (isLocalPath(path) && !fileInfo(path).name.empty()) {
        target = std::string(path);
    }
    if (target.empty())
        return std::nullopt;
    return covers->cover(target, variant);
}

} // namespace library
