#include "library/CoverStore.h"

#include "library/EmbeddedPicture.h"
#include "library/ImageScaler.h"

#include <cstring>

namespace library {
namespace {

/// The media type of an encoded image by its first bytes; empty for none
/// of the three the cache holds.
std::string sniffedType(const unsigned char* head, std::size_t size)
{
    if (size >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff)
        return "image/jpeg";
    if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0)
        return "image/png";
    if (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
        return "image/webp";
    return {};
}

/// The bytes of an image file, when it is no larger than a picture may be.
std::string imageFileBytes(const std::string& path)
{
    platform::UniqueFd file = platform::openFile(path, platform::openRead | platform::openNonBlocking);
    platform::FileStatus status;
    if (!file || !platform::statusOf(file.get(), status) || !status.isRegular()
        || status.size > maximumPictureBytes)
        return {};
    std::string bytes(static_cast<std::size_t>(status.size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long got = platform::readSome(file.get(), bytes.data() + done, bytes.size() - done);
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

std::optional<ScaledImage> firstImage(const CoverSources& sources, int side)
{
    for (const CoverSource& source : sources.order) {
        const std::string bytes = source.embedded ? embeddedPicture(source.path) : imageFileBytes(source.path);
        if (auto image = scaleImage(bytes, side))
            return image;
    }
    return std::nullopt;
}

} // namespace

CoverStore::CoverStore(std::string cacheFolder, MediaNameTest isMedia)
    : entries(std::move(cacheFolder)), isMedia(std::move(isMedia))
{
    prepareImageScaling();
}

std::optional<Cover> CoverStore::cover(const std::string& target, Variant variant)
{
    const bool small = variant == Variant::small;
    // The number after the variant names how entries are made: changing the
    // scaling changes it, so no entry made the old way is served again.
    const std::optional<CoverSources> sources = coverSources(target, isMedia, small ? "small/1" : "full/1");
    if (!sources)
        return std::nullopt;
    Cover cover;
    cover.tag = "\"" + sources->key + "\"";
    cover.modified = sources->modified;

    if (std::optional<CoverCache::Entry> cached = entries.find(sources->key)) {
        unsigned char head[12];
        const long got = platform::readAt(cached->file.get(), head, sizeof head, 0);
        cover.mediaType = sniffedType(head, got > 0 ? static_cast<std::size_t>(got) : 0);
        // An empty entry: the sources were read before and hold no cover.
        if (cover.mediaType.empty())
            return std::nullopt;
        cover.file = std::move(cached->file);
        cover.size = cached->status.size;
        return cover;
    }

    std::optional<ScaledImage> image = firstImage(*sources, small ? smallSide : fullSide);
    // Kept either way, so the next request for a cover that is not there
    // costs one small read. A store that fails costs only the next request
    // the work again.
    entries.store(sources->key, image ? std::string_view(image->bytes) : std::string_view());
    if (!image)
        return std::nullopt;
    cover.mediaType = image->mediaType;
    cover.size = image->bytes.size();
    cover.bytes = std::move(image->bytes);
    return cover;
}

} // namespace library
