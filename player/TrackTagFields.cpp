// The fields of an opened media file, on every system.
#include "player/TrackTagFields.h"

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

namespace player {

TrackTags tagsOfFile(const TagLib::FileRef& file)
{
    TrackTags tags;
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
