#include "library/FlacTags.h"

#include "library/ByteOrder.h"
#include "library/FileWindow.h"
#include "library/VorbisComments.h"

#include <algorithm>
#include <climits>

namespace library {

namespace {

enum BlockType : unsigned { streamInfo = 0, padding = 1, seekTable = 3, vorbisComment = 4, picture = 6 };

/// The length in milliseconds as the tag library computes it from a
/// STREAMINFO block; nothing when it finds no audio there (or a length no
/// int holds).
std::optional<std::int64_t> lengthOf(std::string_view info)
{
    if (info.size() < 18)
        return std::nullopt;
    const std::uint64_t flags = bigEndian(info, 10, 4);
    const std::uint64_t sampleRate = flags >> 12;
    const std::uint64_t frames = ((flags & 0xF) << 32) | bigEndian(info, 14, 4);
    if (sampleRate == 0)
        return std::nullopt;
    if (frames == 0)
        return 0;
    const double length = static_cast<double>(frames) * 1000.0 / static_cast<double>(sampleRate) + 0.5;
    if (length >= static_cast<double>(INT_MAX))
        return std::nullopt;
    return static_cast<std::int64_t>(static_cast<int>(length));
}

/// Whether the picture block of `size` bytes at `offset` is one the tag
/// library takes: its first bytes say, read whole when they do not.
std::optional<bool> pictureAt(FileWindow& window, std::int64_t offset, std::size_t size)
{
    constexpr std::size_t enough = 4096;
    for (std::size_t known : {std::min(size, enough), size}) {
        const auto bytes = window.bytes(offset, known);
        if (!bytes)
            return std::nullopt;
        if (const auto parses = pictureBlockParses(*bytes, size))
            return parses;
    }
    return std::nullopt;
}

} // namespace

std::optional<TrackTags> parseFlacTags(const FileEnds& file)
{
    FileWindow window(file);
    // The tag library looks for an ID3v1 tag where a file of fewer bytes
    // would not hold one the same way.
    constexpr std::int64_t smallest = 131;
    if (file.size < smallest || !file.head.starts_with("fLaC"))
        return std::nullopt;
    const auto end = window.bytes(file.size - 128, 3);
    if (!end || *end == "TAG")
        return std::nullopt;

    std::optional<TrackTags> tags;
    std::optional<std::int64_t> length;
    bool hasPicture = false;
    std::int64_t offset = 4;
    for (bool last = false; !last;) {
        const auto header = window.bytes(offset, 4);
        if (!header)
            return std::nullopt;
        const auto type = static_cast<unsigned>(static_cast<unsigned char>((*header)[0]) & 0x7Fu);
        last = (static_cast<unsigned char>((*header)[0]) & 0x80u) != 0;
        const auto size = static_cast<std::size_t>(bigEndian(*header, 1, 3));
        const std::int64_t body = offset + 4;
        // The first block must be STREAMINFO, and only padding and seek
        // tables may be empty.
        if (offset == 4 && type != streamInfo)
            return std::nullopt;
        if (size == 0 && type != padding && type != seekTable)
            return std::nullopt;
        if (static_cast<std::uint64_t>(file.size - body) < size)
            return std::nullopt;
        if (offset == 4) {
            const auto info = window.bytes(body, size);
            if (!info || !(length = lengthOf(*info)))
                return std::nullopt;
        } else if (type == vorbisComment && !tags) {
            const auto block = window.bytes(body, size);
            if (!block || !(tags = parseVorbisComments(*block)))
                return std::nullopt;
        } else if (type == picture) {
            const std::optional<bool> parses = pictureAt(window, body, size);
            if (!parses)
                return std::nullopt;
            hasPicture = hasPicture || *parses;
        }
        offset = body + static_cast<std::int64_t>(size);
    }

    TrackTags result = tags.value_or(TrackTags{});
    result.durationMs = *length;
    result.hasPicture = result.hasPicture || hasPicture;
    return result;
}

} // namespace library
