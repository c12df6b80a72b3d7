#include "library/TagReader.h"

#include "library/FormatTags.h"
#include "library/TagText.h"
#include "platform/UniqueFd.h"

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tag.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace library {

namespace {

/// A read-only stream over a file we opened, for the tag library. Its head
/// and tail (where tags and the first and last audio frames lie) are read
/// once, with one call each (a file of at most both is read whole with
/// one), and every read the tag library makes there is answered from memory; reads elsewhere go to the file. Named by its path
/// so that the type is still told by the extension first.
class CachedFileStream final : public TagLib::IOStream {
public:
    static constexpr long cachedBytes = 64 * 1024;

    /// Reads `file`'s head and tail; `isOpen()` is false when that failed.
    CachedFileStream(platform::UniqueFd file, long size, std::string path)
        : file(std::move(file)), size(size), path(std::move(path))
    {
        const long headSize = size <= 2 * cachedBytes ? size : cachedBytes;
        const long tailSize = std::min(size - headSize, cachedBytes);
        readable = fill(head, 0, headSize) && fill(tail, size - tailSize, tailSize);
        tailStart = size - tailSize;
    }

    TagLib::FileName name() const override { return path.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override
    {
        const long count = std::min(static_cast<long>(std::min<unsigned long>(length, LONG_MAX)), size - position);
        if (count <= 0)
            return {};
        TagLib::ByteVector block;
        if (position + count <= static_cast<long>(head.size()))
            block = head.mid(static_cast<unsigned>(position), static_cast<unsigned>(count));
        else if (position >= tailStart)
            block = tail.mid(static_cast<unsigned>(position - tailStart), static_cast<unsigned>(count));
        else if (!fill(block, position, count))
            return {};
        position += count;
        return block;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return readable; }
    void seek(long offset, Position from) override
    {
        const long base = from == Beginning ? 0 : (from == Current ? position : size);
        position = std::clamp(base + offset, 0L, size);
    }
    long tell() const override { return position; }
    long length() override { return size; }
    void truncate(long) override {}

private:
    /// `count` bytes at `offset` into `block`; false when the file gave fewer.
    bool fill(TagLib::ByteVector& block, long offset, long count) const
    {
        block.resize(static_cast<unsigned>(count));
        long done = 0;
        while (done < count) {
            const ssize_t got = ::pread(file.get(), block.data() + done, static_cast<std::size_t>(count - done),
                                        offset + done);
            if (got <= 0)
                return false;
            done += got;
        }
        return true;
    }

    platform::UniqueFd file;
    long size;
    std::string path;
    TagLib::ByteVector head;
    TagLib::ByteVector tail;
    long tailStart = 0;
    long position = 0;
    bool readable = false;
};

/// `path` opened for reading when it is a regular file, with its size.
/// Opened without waiting, so that a pipe or a device in a shared folder
/// cannot hold the indexer.
platform::UniqueFd openRegularFile(const std::string& path, long& size)
{
    platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    size = static_cast<long>(status.st_size);
    return file;
}

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

} // namespace

std::optional<TrackTags> readTrackTags(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    long size = 0;
    platform::UniqueFd opened = openRegularFile(path, size);
    if (!opened)
        return std::nullopt;
    CachedFileStream stream(std::move(opened), size, path);
    if (!stream.isOpen())
        return std::nullopt;
    // The fast read takes lengths from the stream headers instead of scanning
    // whole files: the indexer reads every file of a library.
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
    // A file named like a media file but without a stream the tag library
    // can describe (no sample rate) is no media file.
    const TagLib::AudioProperties* audio = file.isNull() ? nullptr : file.audioProperties();
    if (audio == nullptr || audio->sampleRate() <= 0)
        return std::nullopt;

    TrackTags tags;
    if (const TagLib::Tag* tag = file.tag()) {
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
    if (!readAlbumArtistAndDisc(*file.file(), tags)) {
        const TagLib::PropertyMap properties = file.file()->properties();
        tags.albumArtist = firstValue(properties, "ALBUMARTIST");
        if (auto disc = properties.find("DISCNUMBER"); disc != properties.end() && !disc->second.isEmpty())
            tags.disc = leadingNumber(disc->second.front());
        if (tags.year == 0)
            if (auto date = properties.find("DATE"); date != properties.end() && !date->second.isEmpty())
                tags.year = leadingNumber(date->second.front());
    }
    tags.durationMs = audio->lengthInMilliseconds();
    tags.hasPicture = hasPicture(file.file());
    return tags;
}

} // namespace library
