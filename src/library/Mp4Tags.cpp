#include "library/Mp4Tags.h"

#include "library/ByteOrder.h"
#include "library/FileWindow.h"
#include "library/TagTextRules.h"

#include <taglib/id3v1genres.h>

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <string>
#include <vector>

namespace library {

namespace {

/// Limits past which a file is left to the tag library.
constexpr int deepest = 16;
constexpr std::size_t mostAtoms = 20000;

/// An atom's four-byte name as one number, compared without a text.
using Code = std::uint32_t;

constexpr Code code(const char (&name)[5])
{
    return static_cast<Code>(static_cast<unsigned char>(name[0])) << 24 |
           static_cast<Code>(static_cast<unsigned char>(name[1])) << 16 |
           static_cast<Code>(static_cast<unsigned char>(name[2])) << 8 | static_cast<Code>(static_cast<unsigned char>(name[3]));
}

struct Atom {
    Code name = 0;
    std::int64_t offset = 0;
    std::int64_t length = 0;
    std::vector<std::size_t> children;
};

/// The atom tree as the tag library reads it: every atom's header, and the
/// children of the atoms it knows as containers.
class AtomTree {
public:
    explicit AtomTree(FileWindow& window) : file(window) {}

    /// Reads the whole file's tree; false when it holds anything the tag
    /// library would read otherwise than here.
    bool read()
    {
        for (std::int64_t at = 0; at + 8 <= file.size();) {
            const auto atom = readAtom(at, 0);
            if (!atom)
                return false;
            top.push_back(*atom);
            at += atoms[*atom].length;
        }
        return true;
    }

    /// The first atom named `path[0]` among `among`, then the first named
    /// `path[1]` among its children, and so on; nothing when one is missing.
    const Atom* find(const std::vector<std::size_t>& among, std::initializer_list<Code> path) const
    {
        const std::vector<std::size_t>* level = &among;
        const Atom* found = nullptr;
        for (Code name : path) {
            const auto it = std::find_if(level->begin(), level->end(),
                                         [&](std::size_t i) { return atoms[i].name == name; });
            if (it == level->end())
                return nullptr;
            found = &atoms[*it];
            level = &found->children;
        }
        return found;
    }

    const Atom& at(std::size_t index) const { return atoms[index]; }

    std::vector<std::size_t> top;

private:
    std::optional<std::size_t> readAtom(std::int64_t offset, int depth)
    {
        const auto header = file.bytes(offset, 8);
        if (!header || depth > deepest || atoms.size() >= mostAtoms)
            return std::nullopt;
        Atom atom;
        atom.offset = offset;
        atom.length = bigEndian32(*header, 0);
        atom.name = bigEndian32(*header, 4);
        // Open-ended and 64-bit sizes are left to the tag library.
        if (atom.length < 8 || atom.length > file.size() - offset)
            return std::nullopt;
        static constexpr std::array<Code, 11> containers{code("moov"), code("udta"), code("mdia"), code("meta"),
                                                         code("ilst"), code("stbl"), code("minf"), code("moof"),
                                                         code("traf"), code("trak"), code("stsd")};
        const bool container = std::find(containers.begin(), containers.end(), atom.name) != containers.end();
        const std::int64_t end = offset + atom.length;
        std::int64_t child = offset + 8;
        if (atom.name == code("meta")) {
            // A meta atom is a full one (version and flags first) unless a
            // known child's name follows at once.
            static constexpr std::array<Code, 5> children{code("hdlr"), code("ilst"), code("mhdr"), code("ctry"),
                                                          code("lang")};
            const auto next = file.upTo(child, 8);
            if (!next)
                return std::nullopt;
            const bool full = next->size() < 8 ||
                              std::find(children.begin(), children.end(), bigEndian32(*next, 4)) == children.end();
            child += full ? 4 : 0;
        } else if (atom.name == code("stsd")) {
            child += 8;
        }
        const std::size_t index = atoms.size();
        atoms.push_back(std::move(atom));
        if (!container)
            return index;
        if (child > end)
            return std::nullopt;
        while (child < end) {
            const auto read = readAtom(child, depth + 1);
            if (!read || atoms[*read].offset + atoms[*read].length > end)
                return std::nullopt;
            atoms[index].children.push_back(*read);
            child += atoms[*read].length;
        }
        return index;
    }

    FileWindow& file;
    std::vector<Atom> atoms;
};

/// The length in milliseconds of the first sound track and whether its
/// sample rate is known and positive (as a signed number) (else the tag library takes the file for no media
/// file); nothing when it cannot be told here.
struct Audio {
    std::int64_t lengthMs = 0;
    bool hasRate = false;
};

std::optional<Audio> audioOf(const AtomTree& tree, FileWindow& file)
{
    const Atom* moov = tree.find(tree.top, {code("moov")});
    if (moov == nullptr)
        return std::nullopt;
    const Atom* trak = nullptr;
    for (std::size_t index : moov->children) {
        if (tree.at(index).name != code("trak"))
            continue;
        const Atom* hdlr = tree.find(tree.at(index).children, {code("mdia"), code("hdlr")});
        if (hdlr == nullptr)
            return std::nullopt;
        const auto data = file.bytes(hdlr->offset, static_cast<std::size_t>(hdlr->length));
        if (!data)
            return std::nullopt;
        if (data->size() >= 20 && data->substr(16, 4) == "soun") {
            trak = &tree.at(index);
            break;
        }
    }
    if (trak == nullptr)
        return std::nullopt;
    const Atom* mdhd = tree.find(trak->children, {code("mdia"), code("mdhd")});
    if (mdhd == nullptr)
        return std::nullopt;
    const auto header = file.bytes(mdhd->offset, static_cast<std::size_t>(mdhd->length));
    if (!header || header->size() < 9)
        return std::nullopt;
    long long unit = 0;
    long long length = 0;
    if ((*header)[8] == 1) {
        if (header->size() < 44)
            return std::nullopt;
        unit = bigEndian32(*header, 28);
        length = static_cast<std::int64_t>(bigEndian(*header, 32, 8));
    } else {
        if (header->size() < 32)
            return std::nullopt;
        unit = bigEndian32(*header, 20);
        length = bigEndian32(*header, 24);
    }
    Audio audio;
    if (unit > 0 && length > 0) {
        const double milliseconds = static_cast<double>(length) * 1000.0 / static_cast<double>(unit) + 0.5;
        if (milliseconds >= static_cast<double>(INT_MAX))
            return std::nullopt;
        audio.lengthMs = static_cast<int>(milliseconds);
    }

    const Atom* stsd = tree.find(trak->children, {code("mdia"), code("minf"), code("stbl"), code("stsd")});
    if (stsd == nullptr)
        return std::nullopt;
    const auto description = file.bytes(stsd->offset, static_cast<std::size_t>(stsd->length));
    if (!description)
        return std::nullopt;
    if (description->size() >= 24 && description->substr(20, 4) == "mp4a") {
        if (description->size() < 50)
            return std::nullopt;
        audio.hasRate = static_cast<int>(bigEndian32(*description, 46)) > 0;
    } else if (description->size() >= 24 && description->substr(20, 4) == "alac") {
        audio.hasRate = stsd->length == 88 && description->substr(56, 4) == "alac" &&
                        static_cast<int>(bigEndian32(*description, 84)) > 0;
    }
    return audio;
}

/// The payloads of an item's data atoms (those of type `type`, or all for
/// -1); nothing when its children are not all whole data atoms.
std::optional<std::vector<std::string_view>> itemData(FileWindow& file, const Atom& item, long type,
                                                      std::string& copy)
{
    const auto body = file.bytes(item.offset + 8, static_cast<std::size_t>(item.length - 8));
    if (!body)
        return std::nullopt;
    // The window's view lasts until its next read: the item's bytes are kept.
    copy.assign(*body);
    const std::string_view data = copy;
    std::vector<std::string_view> payloads;
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < 16)
            return std::nullopt;
        const std::uint32_t length = bigEndian32(data, at);
        if (length < 16 || length > data.size() - at || data.substr(at + 4, 4) != "data")
            return std::nullopt;
        if (type < 0 || bigEndian32(data, at + 8) == static_cast<std::uint32_t>(type))
            payloads.push_back(data.substr(at + 16, length - 16));
        at += length;
    }
    return payloads;
}

/// Whether a cover item holds a picture the tag library takes: a data
/// atom of an image type, read by its header alone.
std::optional<bool> holdsPicture(FileWindow& file, const Atom& item)
{
    bool picture = false;
    for (std::int64_t at = item.offset + 8; at < item.offset + item.length;) {
        const auto header = file.bytes(at, 12);
        if (!header)
            return std::nullopt;
        const std::uint32_t length = bigEndian32(*header, 0);
        if (length < 16 || length > item.offset + item.length - at || header->substr(4, 4) != "data")
            return std::nullopt;
        const std::uint32_t type = bigEndian32(*header, 8);
        picture = picture || type == 0 || type == 12 || type == 13 || type == 14 || type == 27;
        at += length;
    }
    return picture;
}

std::string joined(const std::vector<std::string>& values, std::string_view separator)
{
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += separator;
        text += values[i];
    }
    return text;
}

} // namespace

std::optional<TrackTags> parseMp4Tags(const FileEnds& ends)
{
    FileWindow file(ends);
    AtomTree tree(file);
    if (!tree.read())
        return std::nullopt;
    const std::optional<Audio> audio = audioOf(tree, file);
    if (!audio || !audio->hasRate)
        return std::nullopt;

    TrackTags tags;
    tags.durationMs = audio->lengthMs;
    const Atom* ilst = tree.find(tree.top, {code("moov"), code("udta"), code("meta"), code("ilst")});
    if (ilst == nullptr)
        return tags;

    // The items by name; the first of a name counts (gnre counts as ©gen).
    enum Text { artist, albumArtist, album, title, genre, day, textCount };
    static constexpr std::array<Code, textCount> textCodes{code("\251ART"), code("aART"), code("\251alb"),
                                                            code("\251nam"), code("\251gen"), code("\251day")};
    std::array<std::optional<std::vector<std::string>>, textCount> texts;
    std::optional<int> track;
    std::optional<int> disc;
    std::string copy;
    for (std::size_t index : ilst->children) {
        const Atom& item = tree.at(index);
        const auto text = std::find(textCodes.begin(), textCodes.end(), item.name);
        if (item.name == code("trkn") || item.name == code("disk")) {
            const auto data = itemData(file, item, -1, copy);
            if (!data)
                return std::nullopt;
            std::optional<int>& number = item.name == code("trkn") ? track : disc;
            if (data->empty() || number)
                continue;
            if (data->front().size() < 4)
                return std::nullopt;
            const std::string_view pair = data->front();
            number = static_cast<std::int16_t>((static_cast<unsigned char>(pair[2]) << 8) |
                                               static_cast<unsigned char>(pair[3]));
        } else if (item.name == code("gnre")) {
            const auto data = itemData(file, item, -1, copy);
            if (!data)
                return std::nullopt;
            if (data->empty())
                continue;
            if (data->front().size() < 2)
                return std::nullopt;
            const int number = static_cast<std::int16_t>((static_cast<unsigned char>(data->front()[0]) << 8) |
                                                         static_cast<unsigned char>(data->front()[1]));
            if (number > 0 && !texts[genre])
                texts[genre] = std::vector<std::string>{TagLib::ID3v1::genre(number - 1).to8Bit(true)};
        } else if (item.name == code("covr")) {
            const auto picture = holdsPicture(file, item);
            if (!picture)
                return std::nullopt;
            tags.hasPicture = tags.hasPicture || *picture;
        } else if (text != textCodes.end()) {
            const auto data = itemData(file, item, 1, copy);
            if (!data)
                return std::nullopt;
            std::optional<std::vector<std::string>>& slot = texts[static_cast<std::size_t>(text - textCodes.begin())];
            if (data->empty() || slot)
                continue;
            std::vector<std::string> values;
            values.reserve(data->size());
            for (std::string_view value : *data) {
                if (!isUtf8(value) || value.find('\0') != std::string_view::npos)
                    return std::nullopt;
                values.emplace_back(value);
            }
            slot = std::move(values);
        }
        // Other items are read by the tag library too, but say nothing here.
    }

    auto joinedText = [&](Text which, std::string_view separator = ", ") {
        return texts[which] ? joined(*texts[which], separator) : std::string();
    };
    tags.artist = trimmedText(joinedText(artist));
    tags.album = trimmedText(joinedText(album));
    tags.title = trimmedText(joinedText(title));
    tags.genre = trimmedText(joinedText(genre));
    if (texts[albumArtist])
        tags.albumArtist = trimmedText(texts[albumArtist]->front());
    if (texts[day]) {
        const auto year = tagNumber(joinedText(day, " "));
        if (!year)
            return std::nullopt;
        tags.year = static_cast<int>(year->value);
    }
    tags.track = track.value_or(0);
    tags.disc = disc.value_or(0);
    return tags;
}

} // namespace library
