#include "library/VorbisComments.h"

#include "library/ByteOrder.h"

#include <array>
#include <climits>
#include <limits>
#include <string>
#include <tuple>

namespace library {

namespace {

bool isTrail(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

/// Whether `text` is UTF-8 the tag library's decoder keeps (no overlong
/// forms, no surrogates, nothing past U+10FFFF, no cut sequence); it drops
/// any other text whole.
bool isStrictUtf8(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t point = 0;
        if ((lead >> 5) == 0x6) {
            length = 2;
            point = lead & 0x1Fu;
        } else if ((lead >> 4) == 0xE) {
            length = 3;
            point = lead & 0x0Fu;
        } else if ((lead >> 3) == 0x1E) {
            length = 4;
            point = lead & 0x07u;
        } else {
            return false;
        }
        if (text.size() - at < length)
            return false;
        for (std::size_t i = 1; i < length; ++i) {
            const auto trail = static_cast<unsigned char>(text[at + i]);
            if (!isTrail(trail))
                return false;
            point = (point << 6) | (trail & 0x3Fu);
        }
        const std::uint32_t shortest = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
        if (shortest != length || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        at += length;
    }
    return true;
}

constexpr std::string_view blanks = " \t\r\n";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

/// The tag library's reading of a number field: the C library's conversion
/// of a wide string, cut to an int. Nothing when a character that some
/// locales or C libraries count as a blank or a digit could change it.
std::optional<int> numberOf(std::string_view text)
{
    std::size_t at = text.find_first_not_of(" \t\n\v\f\r");
    if (at == std::string_view::npos)
        return 0;
    const auto first = static_cast<unsigned char>(text[at]);
    if (first >= 0x80 || (first >= 0x1C && first <= 0x1F))
        return std::nullopt;
    const bool negative = first == '-';
    if (first == '-' || first == '+')
        ++at;
    // Converted as a long (64 bits on Linux, 32 on Windows), which
    // saturates on overflow, then cut to an int.
    constexpr auto longMax = static_cast<std::uint64_t>(std::numeric_limits<long>::max());
    const std::uint64_t limit = negative ? longMax + 1 : longMax;
    std::uint64_t magnitude = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        const auto digit = static_cast<std::uint64_t>(text[at] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    // Some C libraries read digits of other scripts too.
    if (at < text.size() && static_cast<unsigned char>(text[at]) >= 0x80)
        return std::nullopt;
    long value = 0;
    if (!negative)
        value = static_cast<long>(magnitude);
    else if (magnitude > longMax)
        value = std::numeric_limits<long>::min();
    else
        value = -static_cast<long>(magnitude);
    return static_cast<int>(value);
}

/// The leading number of a text such as "3/12" as the disc number is read.
int leadingNumberOf(std::string_view text)
{
    int number = 0;
    for (char c : trimmed(text)) {
        if (c < '0' || c > '9' || number > 100000)
            break;
        number = number * 10 + (c - '0');
    }
    return number;
}

/// A Base64 text decoded as the tag library decodes a picture field: empty
/// when any of it is not Base64 or it goes on after its padding.
std::string decodeBase64(std::string_view text)
{
    static constexpr auto table = [] {
        std::array<unsigned char, 256> values{};
        values.fill(0x80);
        const std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (std::size_t i = 0; i < alphabet.size(); ++i)
            values[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
        return values;
    }();
    auto value = [&text](std::size_t at) { return table[static_cast<unsigned char>(text[at])]; };
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::size_t at = 0;
    while (text.size() - at >= 4) {
        if (value(at) == 0x80 || value(at + 1) == 0x80)
            return {};
        out.push_back(static_cast<char>((value(at) << 2) | (value(at + 1) >> 4)));
        if (text[at + 2] == '=') {
            at += 4;
            break;
        }
        if (value(at + 2) == 0x80)
            return {};
        out.push_back(static_cast<char>(((value(at + 1) & 0x0F) << 4) | (value(at + 2) >> 2)));
        if (text[at + 3] == '=') {
            at += 4;
            break;
        }
        if (value(at + 3) == 0x80)
            return {};
        out.push_back(static_cast<char>(((value(at + 2) & 0x03) << 6) | value(at + 3)));
        at += 4;
    }
    return at == text.size() ? out : std::string();
}

/// The fields the tags are made of, as the tag library keeps them.
struct Fields {
    std::string artist, album, title, genre;
    std::optional<std::string_view> albumArtist, disc, date, year, track, trackNumber;
    bool picture = false;
};

void join(std::string& joined, std::string_view value)
{
    if (!joined.empty())
        joined += ' ';
    joined += value;
}

/// Keeps `value` under `key` (upper case) when the tags are made of it.
void keep(Fields& fields, std::string_view key, std::string_view value)
{
    auto first = [value](std::optional<std::string_view>& slot) {
        if (!slot)
            slot = value;
    };
    if (key == "ARTIST")
        join(fields.artist, value);
    else if (key == "ALBUM")
        join(fields.album, value);
    else if (key == "TITLE")
        join(fields.title, value);
    else if (key == "GENRE")
        join(fields.genre, value);
    else if (key == "ALBUMARTIST")
        first(fields.albumArtist);
    else if (key == "DISCNUMBER")
        first(fields.disc);
    else if (key == "DATE")
        first(fields.date);
    else if (key == "YEAR")
        first(fields.year);
    else if (key == "TRACKNUMBER")
        first(fields.trackNumber);
    else if (key == "TRACKNUM")
        first(fields.track);
}

/// A text as the tag library keeps it: whole when it is UTF-8 its decoder
/// takes, cut at its first NUL; empty otherwise.
std::string_view textOf(std::string_view raw)
{
    return isStrictUtf8(raw) ? raw.substr(0, raw.find('\0')) : std::string_view();
}

/// A field's key in upper case; nothing when the tag library drops the
/// field for its key (empty, or a character outside ' '..'}').
std::optional<std::string> keyOf(std::string_view raw)
{
    std::string key(textOf(raw));
    if (key.empty())
        return std::nullopt;
    for (char& c : key) {
        if (c < 0x20 || c > 0x7D)
            return std::nullopt;
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

/// Reads a picture field; nothing when the tag library's reading of it
/// cannot be told.
std::optional<bool> pictureField(std::string_view key, std::string_view value)
{
    const std::string decoded = decodeBase64(value);
    if (decoded.empty())
        return false;
    if (key == "COVERART")
        return true;
    return pictureBlockParses(decoded, decoded.size());
}

} // namespace

std::optional<bool> pictureBlockParses(std::string_view known, std::uint64_t size)
{
    constexpr std::uint64_t wrap = std::uint64_t{1} << 32;
    if (size < 32)
        return false;
    if (known.size() < 8)
        return std::nullopt;
    const std::uint64_t mimeLength = bigEndian32(known, 4);
    if (8 + mimeLength + 24 >= wrap)
        return std::nullopt;
    if (8 + mimeLength + 24 > size)
        return false;
    const std::uint64_t descriptionAt = 8 + mimeLength;
    if (known.size() < descriptionAt + 4)
        return std::nullopt;
    const std::uint64_t descriptionLength = bigEndian32(known, static_cast<std::size_t>(descriptionAt));
    if (descriptionAt + 4 + descriptionLength + 20 >= wrap)
        return std::nullopt;
    if (descriptionAt + 4 + descriptionLength + 20 > size)
        return false;
    const std::uint64_t dataLengthAt = descriptionAt + 4 + descriptionLength + 16;
    if (known.size() < dataLengthAt + 4)
        return std::nullopt;
    const std::uint64_t dataLength = bigEndian32(known, static_cast<std::size_t>(dataLengthAt));
    if (dataLengthAt + 4 + dataLength >= wrap)
        return std::nullopt;
    return dataLengthAt + 4 + dataLength <= size;
}

std::optional<TrackTags> parseVorbisComments(std::string_view block)
{
    if (block.size() < 8)
        return std::nullopt;
    const std::uint64_t vendorLength = static_cast<std::uint32_t>(littleEndian(block, 0, 4));
    if (8 + vendorLength > block.size())
        return std::nullopt;
    std::size_t at = 4 + static_cast<std::size_t>(vendorLength);
    const std::uint32_t count = static_cast<std::uint32_t>(littleEndian(block, at, 4));
    at += 4;
    if (count > (block.size() - 8) / 4)
        return std::nullopt;
    Fields fields;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (block.size() - at < 4)
            return std::nullopt;
        const std::uint32_t length = static_cast<std::uint32_t>(littleEndian(block, at, 4));
        at += 4;
        if (block.size() - at < length)
            return std::nullopt;
        const std::string_view entry = block.substr(at, length);
        at += length;
        const auto separator = entry.find('=');
        if (separator == std::string_view::npos || separator == 0)
            continue;
        const std::optional<std::string> key = keyOf(entry.substr(0, separator));
        if (!key)
            continue;
        const std::string_view value = entry.substr(separator + 1);
        if (*key == "METADATA_BLOCK_PICTURE" || *key == "COVERART") {
            const std::optional<bool> picture = pictureField(*key, value);
            if (!picture)
                return std::nullopt;
            fields.picture = fields.picture || *picture;
        } else if (const std::string_view text = textOf(value); !text.empty()) {
            keep(fields, *key, text);
        }
    }

    TrackTags tags;
    tags.artist = trimmed(fields.artist);
    tags.album = trimmed(fields.album);
    tags.title = trimmed(fields.title);
    tags.genre = trimmed(fields.genre);
    if (fields.albumArtist)
        tags.albumArtist = trimmed(*fields.albumArtist);
    if (fields.disc)
        tags.disc = leadingNumberOf(*fields.disc);
    // The year is DATE's, else YEAR's; the track TRACKNUMBER's, else TRACKNUM's.
    for (auto [number, first, second] : {std::tuple{&tags.year, fields.date, fields.year},
                                         std::tuple{&tags.track, fields.trackNumber, fields.track}}) {
        if (const auto text = first ? first : second) {
            const std::optional<int> value = numberOf(*text);
            if (!value)
                return std::nullopt;
            *number = *value;
        }
    }
    tags.hasPicture = fields.picture;
    return tags;
}

} // namespace library
