#include "library/Id3v2Frames.h"

#include "library/TagTextRules.h"

#include <algorithm>
#include <array>

namespace library {

namespace {

constexpr std::int64_t headerSize = 10;

/// The text frames the tag readers use.
constexpr std::array<std::string_view, 8> wantedTexts{"TIT2", "TPE1", "TALB", "TCON",
                                                      "TDRC", "TRCK", "TPE2", "TPOS"};

std::uint32_t bigEndian(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return value;
}

/// A frame size of version 2.4: seven bits a byte, or (as a buggy writer
/// puts them) a plain number when a byte has its top bit set.
std::uint32_t synchSafe(std::string_view bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
        if (byte & 0x80)
            return bigEndian(bytes);
        value = (value << 7) | byte;
    }
    return value;
}

bool isFrameId(std::string_view id)
{
    return id.size() == 4 &&
           std::all_of(id.begin(), id.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

/// UTF-16 units as UTF-8; false on a surrogate without its pair.
bool appendUtf16(std::string& to, std::string_view bytes, bool bigEndianUnits)
{
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<std::uint32_t>(bigEndianUnits ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t c = unit(i);
        if (c >= 0xDC00 && c <= 0xDFFF)
            return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= bytes.size())
                return false;
            const std::uint32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        appendCodePoint(to, c);
    }
    return true;
}

/// The values of a text frame's body as the tag library splits and decodes
/// them; nothing when one cannot be decoded.
std::optional<std::vector<std::string>> textValues(std::string_view body)
{
    std::vector<std::string> values;
    if (body.size() < 2)
        return values;
    const auto encoding = static_cast<unsigned char>(body[0]);
    if (encoding > 3)
        return std::nullopt;
    const std::size_t align = encoding == 0 || encoding == 3 ? 1 : 2;
    // Nulls at the end are dropped, up to the width of a character.
    std::size_t length = body.size() - 1;
    while (length > 0 && body[length] == 0)
        --length;
    while (length % align != 0)
        ++length;
    const std::string_view data = body.substr(1, length);
    const std::string_view delimiter = align == 1 ? std::string_view("\0", 1) : std::string_view("\0\0", 2);

    std::vector<std::string_view> pieces;
    std::size_t previous = 0;
    for (std::size_t at = 0; at + delimiter.size() <= data.size(); at += align) {
        if (data.substr(at, delimiter.size()) == delimiter) {
            pieces.push_back(data.substr(previous, at - previous));
            previous = at + delimiter.size();
            at = previous - align;
        }
    }
    if (previous < data.size())
        pieces.push_back(data.substr(previous));

    unsigned firstBom = 0;
    for (std::size_t index = 0; index < pieces.size(); ++index) {
        const std::string_view piece = pieces[index];
        if (piece.empty())
            continue;
        std::string value;
        if (encoding == 0) {
            appendLatin1(value, piece);
        } else if (encoding == 3) {
            if (!isUtf8(piece))
                return std::nullopt;
            value = piece;
        } else {
            if (piece.size() % 2 != 0)
                return std::nullopt;
            const unsigned bom = (static_cast<unsigned char>(piece[0]) << 8) | static_cast<unsigned char>(piece[1]);
            bool ok = true;
            if (encoding == 2) {
                ok = appendUtf16(value, piece, true);
            } else if (index == 0 || bom == 0xFEFF || bom == 0xFFFE || (firstBom != 0xFEFF && firstBom != 0xFFFE)) {
                if (index == 0)
                    firstBom = bom;
                // The value's own byte-order mark, without which it reads as nothing.
                if (bom == 0xFEFF || bom == 0xFFFE)
                    ok = appendUtf16(value, piece.substr(2), bom == 0xFEFF);
            } else {
                // A later value without its mark takes the first value's order.
                ok = appendUtf16(value, piece, firstBom == 0xFEFF);
            }
            if (!ok)
                return std::nullopt;
        }
        values.push_back(std::move(value));
    }
    return values;
}

} // namespace

const std::vector<std::string>* Id3v2Frames::values(std::string_view id) const
{
    const auto found = texts.find(id);
    return found == texts.end() ? nullptr : &found->second;
}

std::optional<Id3v2Frames> readId3v2Frames(FileWindow& file)
{
    const auto header = file.bytes(0, headerSize);
    if (!header || header->substr(0, 3) != "ID3")
        return std::nullopt;
    const auto version = static_cast<unsigned char>((*header)[3]);
    const auto flags = static_cast<unsigned char>((*header)[5]);
    std::uint32_t tagSize = 0;
    for (std::size_t i = 6; i < 10; ++i) {
        const auto byte = static_cast<unsigned char>((*header)[i]);
        if (byte & 0x80)
            return std::nullopt;
        tagSize = (tagSize << 7) | byte;
    }
    // Unsynchronisation, an extended header and a footer are left to the
    // tag library, as is a tag too short to hold a frame.
    if ((version != 3 && version != 4) || (flags & 0xD0) != 0 || tagSize <= headerSize)
        return std::nullopt;

    Id3v2Frames frames;
    frames.end = headerSize + tagSize;
    if (frames.end > file.size())
        return std::nullopt;
    // A second tag right after this one would be taken as part of it.
    if (const auto next = file.upTo(frames.end, 3); !next || *next == "ID3")
        return std::nullopt;

    std::int64_t position = 0;  // within the frames, after the tag header
    const std::int64_t last = static_cast<std::int64_t>(tagSize) - headerSize;
    while (position < last) {
        const std::int64_t at = headerSize + position;
        const int first = file.at(at);
        if (first < 0)
            return std::nullopt;
        if (first == 0)
            break;  // the padding
        const auto headerBytes = file.bytes(at, headerSize);
        if (!headerBytes)
            return std::nullopt;
        const std::string frameHeader(*headerBytes);  // kept past the reads that follow
        const std::string id = frameHeader.substr(0, 4);
        const std::string_view sizeBytes = std::string_view(frameHeader).substr(4, 4);
        const auto formatFlags = static_cast<unsigned char>(frameHeader[9]);
        const std::int64_t remaining = static_cast<std::int64_t>(tagSize) - position;
        std::uint32_t size = version == 3 ? bigEndian(sizeBytes) : synchSafe(sizeBytes);
        if (version == 4 && size > 127) {
            // A 2.4 frame whose size reads as a plain number, as a buggy
            // writer puts it, when only that lands on a frame.
            // (Offsets wrap as the tag library's unsigned sums do.)
            auto idAt = [&](std::uint32_t offset) {
                if (static_cast<std::int64_t>(offset) + 4 > remaining)
                    return false;
                const auto bytes = file.bytes(at + offset, 4);
                return bytes && isFrameId(*bytes);
            };
            if (!idAt(size + static_cast<std::uint32_t>(headerSize)) &&
                idAt(bigEndian(sizeBytes) + static_cast<std::uint32_t>(headerSize)))
                size = bigEndian(sizeBytes);
        }
        const bool formatted = version == 3 ? (formatFlags & 0xE0) != 0 : (formatFlags & 0x4F) != 0;
        if (!isFrameId(id) || size == 0 || size > remaining - headerSize || formatted)
            return std::nullopt;

        std::string kind = id;
        if (version == 3 && kind == "TYER")
            kind = "TDRC";
        else if (version == 4 && kind == "TRDC")
            kind = "TDRC";
        frames.hasFrames = true;
        if (kind == "APIC")
            frames.hasPicture = true;
        else if (std::find(wantedTexts.begin(), wantedTexts.end(), kind) != wantedTexts.end() &&
                 !frames.texts.contains(kind)) {
            const auto body = file.bytes(at + headerSize, size);
            if (!body)
                return std::nullopt;
            auto values = textValues(*body);
            if (!values)
                return std::nullopt;
            frames.texts.emplace(std::move(kind), std::move(*values));
        }
        position += headerSize + size;
    }
    return frames;
}

} // namespace library
