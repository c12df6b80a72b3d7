#include "library/MpegTags.h"

#include "library/ByteOrder.h"
#include "library/FileWindow.h"
#include "library/Id3v2Frames.h"
#include "library/TagTextRules.h"

#include <taglib/id3v1genres.h>

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <vector>

namespace library {

namespace {

/// How far past the tags the audio frames are looked for.
constexpr std::int64_t scanLimit = 64 * 1024;

/// The facts of an MPEG audio frame header.
struct FrameHeader {
    bool valid = false;
    int version = 0;  // 0: MPEG 1, 1: MPEG 2, 2: MPEG 2.5
    int layer = 0;
    int bitrate = 0;
    int sampleRate = 0;
    int samplesPerFrame = 0;
    int length = 0;
};

bool isFrameSync(int first, int second)
{
    return first == 0xFF && second != 0xFF && (second & 0xE0) == 0xE0;
}

/// The frame header at `offset`, read as the tag library reads it; with
/// `checkNext`, valid only when the next frame's header follows it and
/// agrees in version, layer and sample rate. `readable` turns false when
/// bytes that were needed could not be read.
FrameHeader frameHeaderAt(FileWindow& file, std::int64_t offset, bool checkNext, bool& readable)
{
    FrameHeader header;
    const auto data = file.upTo(offset, 4);
    if (!data) {
        readable = false;
        return header;
    }
    if (data->size() < 4)
        return header;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>((*data)[i]); };
    if (!isFrameSync(byte(0), byte(1)))
        return header;
    const int versionBits = (byte(1) >> 3) & 3;
    if (versionBits == 1)
        return header;
    header.version = versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2;
    const int layerBits = (byte(1) >> 1) & 3;
    if (layerBits == 0)
        return header;
    header.layer = 4 - layerBits;
    static constexpr int bitrates[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    const int versionIndex = header.version == 0 ? 0 : 1;
    const int layerIndex = header.layer - 1;
    header.bitrate = bitrates[versionIndex][layerIndex][byte(2) >> 4];
    if (header.bitrate == 0)
        return header;
    static constexpr int sampleRates[3][4] = {
        {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};
    header.sampleRate = sampleRates[header.version][(byte(2) >> 2) & 3];
    if (header.sampleRate == 0)
        return header;
    static constexpr int samplesPerFrame[3][2] = {{384, 384}, {1152, 1152}, {1152, 576}};
    header.samplesPerFrame = samplesPerFrame[layerIndex][versionIndex];
    static constexpr int padding[3] = {4, 1, 1};
    header.length = header.samplesPerFrame * header.bitrate * 125 / header.sampleRate;
    if (byte(2) & 0x02)
        header.length += padding[layerIndex];
    if (checkNext) {
        const std::uint32_t word = bigEndian32(*data, 0);  // before the next read moves the window
        const auto next = file.upTo(offset + header.length, 4);
        if (!next) {
            readable = false;
            return header;
        }
        constexpr std::uint32_t mask = 0xFFFE0C00;
        if (next->size() < 4 || (word & mask) != (bigEndian32(*next, 0) & mask))
            return header;
    }
    header.valid = true;
    return header;
}

/// The frame whose sync would be at `at`: its header, not valid when there
/// is none; nothing when the bytes cannot be read.
std::optional<FrameHeader> frameAt(FileWindow& file, std::int64_t at)
{
    const int first = file.at(at);
    const int second = file.at(at + 1);
    if (first < 0 || second < 0)
        return std::nullopt;
    if (!isFrameSync(first, second))
        return FrameHeader{};
    bool readable = true;
    const FrameHeader header = frameHeaderAt(file, at, true, readable);
    if (!readable)
        return std::nullopt;
    return header;
}

/// The first valid frame from `position` on: its offset, -1 when the file
/// ends first; nothing when it lies beyond the scan or cannot be read.
std::optional<std::int64_t> nextFrame(FileWindow& file, std::int64_t position)
{
    for (std::int64_t at = position; at + 1 < file.size(); ++at) {
        if (at - position > scanLimit)
            return std::nullopt;
        const std::optional<FrameHeader> header = frameAt(file, at);
        if (!header)
            return std::nullopt;
        if (header->valid)
            return at;
    }
    return -1;
}

/// Where the last frame begins, found as the tag library finds it: the end
/// of the last valid frame before `position` (whose sync, like the tag
/// library's, is not looked for in its last byte); -1 when there is none;
/// nothing when it lies beyond the scan or cannot be read.
std::optional<std::int64_t> lastFrame(FileWindow& file, std::int64_t position)
{
    for (std::int64_t at = position - 2; at >= 0; --at) {
        if (position - at > scanLimit)
            return std::nullopt;
        const std::optional<FrameHeader> header = frameAt(file, at);
        if (!header)
            return std::nullopt;
        if (header->valid)
            return at + header->length;
    }
    return -1;
}

/// The length in milliseconds, from the first frame at `first`; nothing
/// when it cannot be told here.
std::optional<std::int64_t> lengthOf(FileWindow& file, std::int64_t first, std::int64_t audioEnd)
{
    bool readable = true;
    const FrameHeader header = frameHeaderAt(file, first, false, readable);
    const auto frame = file.upTo(first, static_cast<std::size_t>(header.length));
    if (!readable || !header.valid || !frame)
        return std::nullopt;

    // A Xing or Info frame, else a VBRI frame, counting the stream's frames.
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    std::size_t at = frame->find("Xing");
    if (at == std::string_view::npos)
        at = frame->find("Info");
    if (at != std::string_view::npos) {
        if (frame->size() >= at + 16 && ((*frame)[at + 7] & 0x03) == 0x03) {
            frames = bigEndian32(*frame, at + 8);
            bytes = bigEndian32(*frame, at + 12);
        }
    } else if (at = frame->find("VBRI"); at != std::string_view::npos && frame->size() >= at + 32) {
        frames = bigEndian32(*frame, at + 14);
        bytes = bigEndian32(*frame, at + 10);
    }
    if (frames > 0 && bytes > 0) {
        const double timePerFrame = header.samplesPerFrame * 1000.0 / header.sampleRate;
        const double length = timePerFrame * frames;
        if (length + 0.5 >= static_cast<double>(INT_MAX))
            return std::nullopt;
        return static_cast<int>(length + 0.5);
    }

    // Else a constant bit rate over the span of the frames.
    const std::optional<std::int64_t> last = lastFrame(file, audioEnd);
    if (!last)
        return std::nullopt;
    if (*last < 0)
        return 0;
    const FrameHeader lastHeader = frameHeaderAt(file, *last, false, readable);
    if (!readable)
        return std::nullopt;
    const std::int64_t span = *last - first + (lastHeader.valid ? lastHeader.length : 0);
    if (span <= 0)
        return 0;
    const double length = static_cast<double>(span) * 8.0 / header.bitrate + 0.5;
    if (length >= static_cast<double>(INT_MAX))
        return std::nullopt;
    return static_cast<int>(length);
}

/// The values of a text frame joined as the tag library joins them.
std::string joined(const std::vector<std::string>* values, const char* separator = " ")
{
    std::string text;
    if (values == nullptr)
        return text;
    for (std::size_t i = 0; i < values->size(); ++i) {
        if (i > 0)
            text += separator;
        text += (*values)[i];
    }
    return text;
}

std::string genreName(int number)
{
    return TagLib::ID3v1::genre(number).to8Bit(true);
}

/// The common fields of a tag, untrimmed, as the tag library's union of
/// tags compares them (the first tag with a non-empty text or a non-zero
/// number gives it).
struct CommonFields {
    std::string title;
    std::string artist;
    std::string album;
    std::string genre;
    int year = 0;
    int track = 0;
};

/// The ID3v2 tag's common fields; nothing when one cannot be told here.
std::optional<CommonFields> commonFields(const Id3v2Frames& frames)
{
    CommonFields fields;
    fields.title = joined(frames.values("TIT2"));
    fields.artist = joined(frames.values("TPE1"));
    fields.album = joined(frames.values("TALB"));
    if (const auto* genres = frames.values("TCON")) {
        // Numbers stand for the old fixed list's genres; each genre once.
        std::vector<std::string> names;
        for (const std::string& value : *genres) {
            if (value.empty())
                continue;
            if (value[0] == '(')
                return std::nullopt;  // the old "(12)Name" form
            const auto number = tagNumber(value);
            if (!number)
                return std::nullopt;
            std::string name = number->whole && number->value >= 0 && number->value <= 255
                                   ? genreName(static_cast<int>(number->value))
                                   : value;
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
        fields.genre = joined(&names);
    }
    if (const auto* date = frames.values("TDRC")) {
        const std::string text = joined(date);
        const std::string_view year = std::string_view(text).substr(0, 4);
        if (std::any_of(year.begin(), year.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
            return std::nullopt;
        const auto number = tagNumber(year);
        if (!number)
            return std::nullopt;
        fields.year = static_cast<int>(number->value);
    }
    if (const auto* track = frames.values("TRCK")) {
        const auto number = tagNumber(joined(track));
        if (!number)
            return std::nullopt;
        fields.track = static_cast<int>(number->value);
    }
    return fields;
}

/// A text of an ID3v1 tag: Latin-1 up to its first null, without the
/// blanks around it.
std::string id3v1Text(std::string_view field)
{
    field = field.substr(0, field.find('\0'));
    const std::string_view blanks = "\t\n\f\r ";
    const std::size_t first = field.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    field = field.substr(first, field.find_last_not_of(blanks) - first + 1);
    std::string text;
    appendLatin1(text, field);
    return text;
}

/// The common fields of the ID3v1 tag `tag` (its 128 bytes).
std::optional<CommonFields> id3v1Fields(std::string_view tag)
{
    CommonFields fields;
    fields.title = id3v1Text(tag.substr(3, 30));
    fields.artist = id3v1Text(tag.substr(33, 30));
    fields.album = id3v1Text(tag.substr(63, 30));
    const std::string year = id3v1Text(tag.substr(93, 4));
    const auto number = tagNumber(year);
    if (!number)
        return std::nullopt;
    fields.year = static_cast<int>(number->value);
    if (tag[125] == 0 && tag[126] != 0)
        fields.track = static_cast<unsigned char>(tag[126]);
    fields.genre = genreName(static_cast<unsigned char>(tag[127]));
    return fields;
}

std::string firstValue(const std::vector<std::string>* values)
{
    return values == nullptr || values->empty() ? std::string() : values->front();
}

} // namespace

std::optional<TrackTags> parseMpegTags(const FileEnds& ends)
{
    FileWindow file(ends);
    // The tags: one at the start, else audio right at the start.
    std::optional<Id3v2Frames> id3v2;
    std::int64_t audioStart = 0;
    const auto start = file.upTo(0, 3);
    if (!start || file.size() < 256)
        return std::nullopt;
    if (*start == "ID3") {
        id3v2 = readId3v2Frames(file);
        if (!id3v2)
            return std::nullopt;
        audioStart = id3v2->end;
    } else {
        bool readable = true;
        if (!frameHeaderAt(file, 0, true, readable).valid)
            return std::nullopt;
    }

    // An ID3v1 tag in the last 128 bytes (unless they end an APE tag's
    // footer); an APE tag is left to the tag library.
    const auto lastBytes = file.bytes(file.size() - 131, 131);
    if (!lastBytes)
        return std::nullopt;
    const std::string end(*lastBytes);  // kept past the reads that follow
    const bool hasId3v1 = std::string_view(end).substr(3, 3) == "TAG" && std::string_view(end).substr(0, 8) != "APETAGEX";
    const std::int64_t id3v1Start = file.size() - 128;
    const auto apeFooter = file.bytes((hasId3v1 ? id3v1Start : file.size()) - 32, 8);
    if (!apeFooter || *apeFooter == "APETAGEX")
        return std::nullopt;

    const std::optional<std::int64_t> first = nextFrame(file, audioStart);
    if (!first || *first < 0)
        return std::nullopt;
    const std::optional<std::int64_t> length = lengthOf(file, *first, hasId3v1 ? id3v1Start - 1 : file.size());
    if (!length)
        return std::nullopt;

    CommonFields fields;
    if (id3v2) {
        if (auto read = commonFields(*id3v2))
            fields = std::move(*read);
        else
            return std::nullopt;
    }
    if (hasId3v1) {
        const auto old = id3v1Fields(std::string_view(end).substr(3));
        if (!old)
            return std::nullopt;
        auto pick = [](std::string& mine, const std::string& other) {
            if (mine.empty())
                mine = other;
        };
        pick(fields.title, old->title);
        pick(fields.artist, old->artist);
        pick(fields.album, old->album);
        pick(fields.genre, old->genre);
        if (fields.year == 0)
            fields.year = old->year;
        if (fields.track == 0)
            fields.track = old->track;
    }

    TrackTags tags;
    tags.title = trimmedText(fields.title);
    tags.artist = trimmedText(fields.artist);
    tags.album = trimmedText(fields.album);
    tags.genre = trimmedText(fields.genre);
    tags.year = fields.year;
    tags.track = fields.track;
    // The album artist and the disc come from an ID3v2 tag with frames
    // (whichever they are); none of the others holds them.
    if (id3v2 && id3v2->hasFrames) {
        tags.albumArtist = trimmedText(firstValue(id3v2->values("TPE2")));
        tags.disc = leadingDigits(firstValue(id3v2->values("TPOS")));
    }
    tags.durationMs = *length;
    tags.hasPicture = id3v2 && id3v2->hasPicture;
    return tags;
}

} // namespace library
