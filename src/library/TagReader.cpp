#include "library/TagReader.h"

#include "library/FlacTags.h"
#include "library/FormatTags.h"
#include "library/LibraryPath.h"
#include "library/Mp4Tags.h"
#include "library/MpegTags.h"
#include "library/OggVorbisTags.h"
#include "library/TagFileStream.h"
#include "library/TagText.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <utility>

namespace library {

namespace {

std::string firstValue(const TagLib::PropertyMap& properties, const char* key)
{
    auto found = properties.find(key);
    return found == properties.end() || found->second.isEmpty() ? std::string() : tagText(found->second.front());
}

bool hasApePicture(const TagLib::APE::Tag* tag)
{
    return tag != nullptr && (tag->itemListMap().contains("COVER ART (FRONT)") ||
                              tag->itemListMap().contains("COVER ART (OTHER)"));
}

bool hasId3Picture(const TagLib::ID3v2::Tag* tag)
{
    return tag != nullptr && !tag->frameListMap()["APIC"].isEmpty();
}

/// Whether the file carries an embedded picture, by the picture blocks of
/// each container the tag library knows.
bool hasPicture(TagLib::File* file)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return (mpeg->hasID3v2Tag() && hasId3Picture(mpeg->ID3v2Tag())) ||
               (mpeg->hasAPETag() && hasApePicture(mpeg->APETag()));
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file))
        return !flac->pictureList().isEmpty() ||
               (flac->hasXiphComment() && !flac->xiphComment()->pictureList().isEmpty());
    if (auto* ogg = dynamic_cast<TagLib::Ogg::File*>(file)) {
        auto* comment = dynamic_cast<TagLib::Ogg::XiphComment*>(ogg->tag());
        return comment != nullptr && !comment->pictureList().isEmpty();
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file))
        return mp4->hasMP4Tag() && mp4->tag()->contains("covr");
    if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file))
        return asf->tag() != nullptr && asf->tag()->contains("WM/Picture");
    if (auto* ape = dynamic_cast<TagLib::APE::File*>(file))
        return ape->hasAPETag() && hasApePicture(ape->APETag());
    if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file))
        return mpc->hasAPETag() && hasApePicture(mpc->APETag());
    if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(file))
        return wavpack->hasAPETag() && hasApePicture(wavpack->APETag());
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->hasID3v2Tag() && hasId3Picture(wav->ID3v2Tag());
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return aiff->hasID3v2Tag() && hasId3Picture(aiff->tag());
    return false;
}

/// The tag the common fields are read from: a WAV file's common tag is its
/// ID3v2 tag alone, while most WAV files carry their names in the RIFF INFO
/// chunk, read when the ID3v2 tag says nothing.
const TagLib::Tag* commonTag(TagLib::File& file, const TagLib::Tag* tag)
{
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file); wav && (tag == nullptr || tag->isEmpty()))
        if (wav->hasInfoTag())
            return wav->InfoTag();
    return tag;
}

/// A file the tag library made: owned here, or by the reference its own
/// detection gave (which gives its file up to nothing else).
struct OpenedFile {
    std::unique_ptr<TagLib::File> owned;
    TagLib::FileRef detected;

    TagLib::File* get() const { return owned ? owned.get() : detected.file(); }
};

/// The file the tag library makes of `stream` for the commonest types,
/// told by the extension as the library's own detection tells them, without
/// that detection's steps (its resolvers, the whole path converted and
/// upper-cased). Any other type, and a file its extension's reader finds
/// invalid, go through the library's detection, which also looks at the
/// content: the same file as it would make.
void openFile(TagFileStream& stream, const std::string& path, OpenedFile& opened)
{
    constexpr auto style = TagLib::AudioProperties::Fast;
    const std::string extension = extensionOf(path);
    std::unique_ptr<TagLib::File>& file = opened.owned;
    if (extension == "mp3")
        file = std::make_unique<TagLib::MPEG::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), true, style);
    else if (extension == "flac")
        file = std::make_unique<TagLib::FLAC::File>(&stream, TagLib::ID3v2::FrameFactory::instance(), true, style);
    else if (extension == "ogg")
        file = std::make_unique<TagLib::Ogg::Vorbis::File>(&stream, true, style);
    else if (extension == "m4a" || extension == "mp4")
        file = std::make_unique<TagLib::MP4::File>(&stream, true, style);
    if (file && file->isValid())
        return;
    file.reset();
    stream.seek(0, TagLib::IOStream::Beginning);
    opened.detected = TagLib::FileRef(&stream, true, style);
}

/// Our own parser of the files with `extension`: quicker than the tag
/// library and agreeing with it wherever it answers; none for the others.
using Parser = std::optional<TrackTags> (*)(const FileEnds&);

Parser parserFor(const std::string& extension)
{
    if (extension == "mp3")
        return parseMpegTags;
    if (extension == "m4a" || extension == "mp4")
        return parseMp4Tags;
    if (extension == "flac")
        return parseFlacTags;
    if (extension == "ogg")
        return parseOggVorbisTags;
    return nullptr;
}

} // namespace

struct TagReader::Memory {
    /// The head and tail of the file being read (see TagFileStream).
    TagLib::ByteVector store;
};

TagReader::TagReader() : memory(std::make_unique<Memory>()) {}

TagReader::~TagReader() = default;

std::optional<TrackTags> TagReader::read(const std::string& path)
{
    return read(path, TagFileStream::open(path));
}

std::optional<TrackTags> TagReader::read(const std::string& path, platform::UniqueFd opened)
{
    try {
        return readUnguarded(path, std::move(opened));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<TrackTags> TagReader::readUnguarded(const std::string& path, platform::UniqueFd descriptor)
{
    TagFileStream stream(path, memory->store, std::move(descriptor));
    if (!stream.isOpen())
        return std::nullopt;
    if (const Parser parser = ownParsers ? parserFor(extensionOf(path)) : nullptr)
        if (std::optional<TrackTags> tags = parser(stream.ends()))
            return tags;
    // The fast read takes lengths from the stream headers instead of scanning
    // whole files: the indexer reads every file of a library.
    OpenedFile opened;
    openFile(stream, path, opened);
    TagLib::File* const file = opened.get();
    // A file named like a media file but without a stream the tag library
    // can describe (no sample rate) is no media file.
    const TagLib::AudioProperties* audio = file != nullptr ? file->audioProperties() : nullptr;
    if (audio == nullptr || audio->sampleRate() <= 0)
        return std::nullopt;

    TrackTags tags;
    if (const TagLib::Tag* tag = commonTag(*file, file->tag())) {
        tags.artist = tagText(tag->artist());
        tags.album = tagText(tag->album());
        tags.title = tagText(tag->title());
        tags.genre = tagText(tag->genre());
        tags.year = static_cast<int>(tag->year());
        tags.track = static_cast<int>(tag->track());
    }
    // The album artist and the disc have no place in the common tag: read
    // from the format's own tag where we know it (whose year the common tag
    // read already), else from the property map every format fills, at
    // several times the cost as it converts every field.
    if (!readAlbumArtistAndDisc(*file, tags)) {
        const TagLib::PropertyMap properties = file->properties();
        tags.albumArtist = firstValue(properties, "ALBUMARTIST");
        if (auto disc = properties.find("DISCNUMBER"); disc != properties.end() && !disc->second.isEmpty())
            tags.disc = leadingNumber(disc->second.front());
        if (tags.year == 0)
            if (auto date = properties.find("DATE"); date != properties.end() && !date->second.isEmpty())
                tags.year = leadingNumber(date->second.front());
    }
    tags.durationMs = audio->lengthInMilliseconds();
    tags.hasPicture = hasPicture(file);
    return tags;
}

std::optional<TrackTags> readTrackTags(const std::string& path)
{
    return TagReader().read(path);
}

std::optional<TrackTags> readTrackTagsWithTagLib(const std::string& path)
{
    TagReader reader;
    reader.setOwnParsers(false);
    return reader.read(path);
}

} // namespace library
