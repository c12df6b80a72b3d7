#pragma once

#include "library/CoverCache.h"
#include "library/CoverSources.h"
#include "platform/UniqueFd.h"

#include <cstdint>
#include <optional>
#include <string>

namespace library {

/// A cover ready to send: the open cache entry (`file`, `size` bytes), or,
/// when it was made just now, the image itself (`bytes`).
struct Cover {
    platform::UniqueFd file;
    std::uint64_t size = 0;
    std::string bytes;
    /// "image/jpeg", "image/png" or "image/webp".
    std::string mediaType;
    /// The entity tag, quotes included: the same while the sources are.
    std::string tag;
    /// The latest modification among the sources, seconds since 1970.
    std::int64_t modified = 0;
};

/// Finds, scales and caches the covers of files and folders. The first
/// request for a cover reads its sources in order (see coverSources) until
/// one holds an image that decodes, scales it (see scaleImage) and keeps the
/// result, or that there is none, in the cache; later requests read only the
/// folder and the cache entry.
///
/// Owned by the media library. Any thread, several at once (the cache has
/// its own lock); nothing throws.
class CoverStore {
public:
    enum class Variant { full, small };
    static constexpr int fullSide = 512;
    static constexpr int smallSide = 128;

    /// Keeps its entries in `cacheFolder` (see CoverCache); `isMedia` tells
    /// the media files of a folder.
    CoverStore(std::string cacheFolder, MediaNameTest isMedia);

    /// The cover of `target`, a file or folder the caller has allowed;
    /// nothing when it has none.
    std::optional<Cover> cover(const std::string& target, Variant variant);

    const CoverCache& cache() const { return entries; }

private:
    CoverCache entries;
    const MediaNameTest isMedia;
};

} // namespace library
