// Reading a media file's tags with the tag library.
#include "player/TrackTags.h"

#include "platform/UniqueFd.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/wavfile.h>

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <sys/stat.h>

namespace player {

namespace {

/// The tag library's stream over a file we opened, named by its path so that
/// the type is still told by the extension first.
class OpenedFileStream final : public TagLib::FileStream {
public:
    /// Takes `file` over when `isOpen()` (it closes it then).
    OpenedFileStream(int file, const std::string& path) : TagLib::FileStream(file, true), path(path) {}
    TagLib::FileName name() const override { return path.c_str(); }

private:
    std::string path;
};

/// `path` opened for reading when it is a regular file. Opened without
/// waiting, so a pipe or a device put in a shared folder cannot hold the
/// caller: those are refused by what was opened, not by a look beforehand.
platform::UniqueFd openRegularFile(const std::string& path)
{
    platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (!file || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return file;
}

} // namespace

TrackTags readTrackTags(const std::string& path)
{
    TrackTags tags;
    if (path.empty() || path.find('\0') != std::string::npos)
        return tags;
    platform::UniqueFd opened = openRegularFile(path);
    if (!opened)
        return tags;
    OpenedFileStream stream(opened.get(), path);
    if (!stream.isOpen())
        return tags;
    opened.release();  // the stream closes it now
    // Only the tag fields and stream properties are needed; the fast read
    // skips scanning whole files for exact lengths.
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
    if (file.isNull())
        return tags;
    tags.readable = true;
    if (const TagLib::Tag* tag = file.tag()) {
        tags.artist = tag->artist().to8Bit(true);
        tags.album = tag->album().to8Bit(true);
        tags.title = tag->title().to8Bit(true);
        tags.genre = tag->genre().to8Bit(true);
        tags.comment = tag->comment().to8Bit(true);
        tags.year = tag->year();
        tags.track = tag->track();
    }
    // A WAV file's tag is its ID3 chunk; many writers give it RIFF INFO instead.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file()); wav && wav->hasInfoTag()) {
        const TagLib::RIFF::Info::Tag* info = wav->InfoTag();
        auto fill = [](std::string& field, const TagLib::String& value) {
            if (field.empty())
                field = value.to8Bit(true);
        };
        fill(tags.artist, info->artist());
        fill(tags.album, info->album());
        fill(tags.title, info->title());
        fill(tags.genre, info->genre());
        fill(tags.comment, info->comment());
        if (tags.year == 0)
            tags.year = info->year();
        if (tags.track == 0)
            tags.track = info->track();
    }
    if (const TagLib::AudioProperties* properties = file.audioProperties()) {
        tags.lengthMs = properties->lengthInMilliseconds();
        tags.bitrate = properties->bitrate();
        tags.sampleRate = properties->sampleRate();
        tags.channels = properties->channels();
    }
    return tags;
}

} // namespace player
