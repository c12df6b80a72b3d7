#pragma once

#include "library/TrackTags.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>

namespace library {

inline void PrintTo(const TrackTags& t, std::ostream* out)
{
    *out << "{artist '" << t.artist << "', albumArtist '" << t.albumArtist << "', album '" << t.album
         << "', title '" << t.title << "', genre '" << t.genre << "', track " << t.track << ", disc " << t.disc
         << ", year " << t.year << ", " << t.durationMs << " ms, picture " << t.hasPicture << "}";
}

} // namespace library

// After the printer, so that the checks it holds print tags readably.
#include "library/TagAgreement.h"

namespace librarytest {

/// Sets the checksum of the Ogg page at `offset` of `bytes` to what its
/// bytes now give.
inline void resealOggPage(std::string& bytes, std::size_t offset)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> values{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
            values[i] = r;
        }
        return values;
    }();
    const auto byteAt = [&bytes](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    std::size_t size = 27 + byteAt(offset + 26);
    for (std::size_t i = 0; i < byteAt(offset + 26); ++i)
        size += byteAt(offset + 27 + i);
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset + 22), 4, '\0');
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ byteAt(offset + i)) & 0xFF];
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + 22 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
}

/// Replaces each `from` in `bytes` with `to` of the same size (in an Ogg
/// file, resealing the pages changed).
inline void patchKeys(std::string& bytes, const std::string& from, const std::string& to, bool ogg)
{
    for (auto at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + 1))
        bytes.replace(at, to.size(), to);
    if (!ogg)
        return;
    for (std::size_t page = 0; page + 27 <= bytes.size() && bytes.compare(page, 4, "OggS") == 0;) {
        resealOggPage(bytes, page);
        std::size_t size = 27 + static_cast<unsigned char>(bytes[page + 26]);
        for (std::size_t i = 0; i < static_cast<unsigned char>(bytes[page + 26]); ++i)
            size += static_cast<unsigned char>(bytes[page + 27 + i]);
        page += size;
    }
}

} // namespace librarytest
