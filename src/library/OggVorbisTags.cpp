#include "library/OggVorbisTags.h"

#include "library/ByteOrder.h"
#include "library/FileWindow.h"
#include "library/VorbisComments.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

namespace library {

namespace {

constexpr std::size_t pageHeaderSize = 27;
/// Header packets reaching further into the file than this are left to the
/// tag library.
constexpr std::int64_t headerBytes = 64 * 1024 * 1024;

/// A page as the tag library sees it: its packets' sizes (the first may
/// continue one from the page before, the last may go on in the next), and
/// the index of its first packet.
struct Page {
    std::int64_t dataOffset = 0;
    std::int64_t end = 0;
    std::vector<std::size_t> packetSizes;
    bool lastPacketCompleted = true;
    bool lastOfStream = false;
    std::size_t firstPacket = 0;

    std::size_t nextPacket() const { return firstPacket + packetSizes.size() - (lastPacketCompleted ? 0 : 1); }
};

/// The page header at `offset`; nothing when the tag library finds none
/// there (no "OggS", no segments) or it reaches past the file.
std::optional<Page> pageAt(FileWindow& window, std::int64_t offset)
{
    const auto header = window.bytes(offset, pageHeaderSize);
    if (!header || !header->starts_with("OggS"))
        return std::nullopt;
    const auto segmentCount = static_cast<unsigned char>((*header)[26]);
    const bool lastOfStream = ((*header)[5] & 0x04) != 0;
    const auto segments = window.bytes(offset + static_cast<std::int64_t>(pageHeaderSize), segmentCount);
    if (segmentCount == 0 || !segments)
        return std::nullopt;
    Page page;
    page.lastOfStream = lastOfStream;
    page.dataOffset = offset + static_cast<std::int64_t>(pageHeaderSize + segmentCount);
    std::size_t packet = 0;
    std::size_t dataSize = 0;
    for (char segment : *segments) {
        const auto lacing = static_cast<unsigned char>(segment);
        dataSize += lacing;
        packet += lacing;
        if (lacing < 255) {
            page.packetSizes.push_back(packet);
            packet = 0;
        }
    }
    if (packet > 0) {
        page.packetSizes.push_back(packet);
        page.lastPacketCompleted = false;
    }
    page.end = page.dataOffset + static_cast<std::int64_t>(dataSize);
    return page;
}

/// The pages at the start of the file, read as far as the tag library reads
/// them to take a packet.
class Pages {
public:
    explicit Pages(FileWindow& window) : window(window) {}

    /// Packet `index` put together from its pages as the tag library does;
    /// nothing where the tag library would find none or read short data
    /// (a page reaching past the file), or a page ends the stream first.
    std::optional<std::string> packet(std::size_t index)
    {
        while (pages.empty() || pages.back().nextPacket() <= index) {
            auto page = pageAt(window, pages.empty() ? 0 : pages.back().end);
            if (!page || page->end > std::min(window.size(), headerBytes) || page->lastOfStream)
                return std::nullopt;
            page->firstPacket = pages.empty() ? 0 : pages.back().nextPacket();
            pages.push_back(std::move(*page));
        }
        auto page = pages.begin();
        while (index < page->firstPacket || index >= page->firstPacket + page->packetSizes.size())
            ++page;
        std::string packet;
        if (!append(*page, index - page->firstPacket, packet))
            return std::nullopt;
        while (page->nextPacket() <= index)
            if (++page == pages.end() || page->packetSizes.empty() || !append(*page, 0, packet))
                return std::nullopt;
        return packet;
    }

private:
    bool append(const Page& page, std::size_t which, std::string& packet)
    {
        std::int64_t offset = page.dataOffset;
        for (std::size_t i = 0; i < which; ++i)
            offset += static_cast<std::int64_t>(page.packetSizes[i]);
        const auto bytes = window.bytes(offset, page.packetSizes[which]);
        if (!bytes)
            return false;
        packet += *bytes;
        return true;
    }

    FileWindow& window;
    std::vector<Page> pages;
};

/// Where the tag library's backward search finds the last "OggS": in
/// buffers of 1024 bytes from the end, each searched alone (a match across
/// two is missed). -1 when there is none; nothing when the bytes it reads
/// cannot be had.
std::optional<std::int64_t> lastPageOffset(FileWindow& window)
{
    constexpr std::int64_t bufferSize = 1024;
    const std::int64_t length = window.size();
    std::int64_t bufferLength = bufferSize;
    std::int64_t bufferOffset = length + 4;
    while (true) {
        if (bufferOffset > bufferLength) {
            bufferOffset -= bufferLength;
        } else {
            bufferLength = bufferOffset;
            bufferOffset = 0;
        }
        const std::int64_t count = std::min(bufferLength, length - bufferOffset);
        if (count <= 0)
            return -1;
        const auto buffer = window.bytes(bufferOffset, static_cast<std::size_t>(count));
        if (!buffer)
            return std::nullopt;
        if (const auto found = buffer->rfind("OggS"); found != std::string_view::npos)
            return bufferOffset + static_cast<std::int64_t>(found);
    }
}

/// The granule position of the page header at `offset`; nothing when the
/// tag library takes no header there or its bytes cannot be had.
std::optional<std::int64_t> granuleAt(FileWindow& window, std::int64_t offset)
{
    if (offset < 0)
        return std::nullopt;
    const auto header = window.bytes(offset, pageHeaderSize);
    if (!header)
        return std::nullopt;
    const auto segmentCount = static_cast<unsigned char>((*header)[26]);
    const std::int64_t granule = static_cast<std::int64_t>(littleEndian(*header, 6, 8));
    if (segmentCount == 0 || !window.bytes(offset + static_cast<std::int64_t>(pageHeaderSize), segmentCount))
        return std::nullopt;
    return granule;
}

} // namespace

std::optional<TrackTags> parseOggVorbisTags(const FileEnds& file)
{
    FileWindow window(file);
    if (!file.head.starts_with("OggS"))
        return std::nullopt;
    Pages pages(window);
    // The comment packet first, as the tag library reads it.
    const std::optional<std::string> comment = pages.packet(1);
    if (!comment || !comment->starts_with("\x03vorbis"))
        return std::nullopt;
    std::optional<TrackTags> tags = parseVorbisComments(std::string_view(*comment).substr(7));
    const std::optional<std::string> identification = pages.packet(0);
    if (!tags || !identification || identification->size() < 28 || !identification->starts_with("\x01vorbis"))
        return std::nullopt;
    const std::uint64_t sampleRate = littleEndian(*identification, 12, 4);
    if (sampleRate == 0 || sampleRate > INT_MAX)
        return std::nullopt;

    // The length: from the first page's granule position to the last's. A
    // file whose last page has no header the tag library takes is damaged.
    const std::optional<std::int64_t> lastOffset = lastPageOffset(window);
    const std::optional<std::int64_t> first = granuleAt(window, 0);
    const std::optional<std::int64_t> last = lastOffset ? granuleAt(window, *lastOffset) : std::nullopt;
    if (!first || !last)
        return std::nullopt;
    tags->durationMs = 0;
    if (*first >= 0 && *last >= 0 && *last > *first) {
        const double length =
            static_cast<double>(*last - *first) * 1000.0 / static_cast<double>(sampleRate) + 0.5;
        if (length >= static_cast<double>(INT_MAX))
            return std::nullopt;
        tags->durationMs = static_cast<int>(length);
    }
    return tags;
}

} // namespace library
