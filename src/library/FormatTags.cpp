#include "library/FormatTags.h"

#include "library/TagText.h"

#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>

namespace library {

namespace {

/// The first text of the ID3v2 frame `id`; empty when there is none.
TagLib::String id3Text(const TagLib::ID3v2::Tag& tag, const char* id)
{
    const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
    const auto found = frames.find(id);
    if (found == frames.end() || found->second.isEmpty())
        return {};
    const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(found->second.front());
    if (text == nullptr)
        return {};
    const TagLib::StringList values = text->fieldList();
    return values.isEmpty() ? TagLib::String() : values.front();
}

/// The first value of the Vorbis comment field `key`; empty when there is none.
TagLib::String xiphText(const TagLib::Ogg::XiphComment& comment, const char* key)
{
    const TagLib::Ogg::FieldListMap& fields = comment.fieldListMap();
    const auto found = fields.find(key);
    return found == fields.end() || found->second.isEmpty() ? TagLib::String() : found->second.front();
}

void fromId3(const TagLib::ID3v2::Tag& tag, TrackTags& tags)
{
    tags.albumArtist = tagText(id3Text(tag, "TPE2"));
    tags.disc = leadingNumber(id3Text(tag, "TPOS"));
}

void fromXiph(const TagLib::Ogg::XiphComment& comment, TrackTags& tags)
{
    tags.albumArtist = tagText(xiphText(comment, "ALBUMARTIST"));
    tags.disc = leadingNumber(xiphText(comment, "DISCNUMBER"));
}

} // namespace

bool readAlbumArtistAndDisc(TagLib::File& file, TrackTags& tags)
{
    // Each format's property map comes from the first of its tags that holds
    // a common field, so only such a tag answers here.
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(&file)) {
        if (!mpeg->hasID3v2Tag() || mpeg->ID3v2Tag()->isEmpty())
            return false;
        fromId3(*mpeg->ID3v2Tag(), tags);
        return true;
    }
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(&file)) {
        if (!flac->hasXiphComment() || flac->xiphComment()->isEmpty())
            return false;
        fromXiph(*flac->xiphComment(), tags);
        return true;
    }
    if (auto* ogg = dynamic_cast<TagLib::Ogg::File*>(&file)) {
        const auto* comment = dynamic_cast<const TagLib::Ogg::XiphComment*>(ogg->tag());
        if (comment == nullptr)
            return false;
        fromXiph(*comment, tags);
        return true;
    }
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(&file)) {
        if (!mp4->hasMP4Tag())
            return false;
        const TagLib::MP4::Tag& tag = *mp4->tag();
        if (tag.contains("aART")) {
            const TagLib::StringList artists = tag.item("aART").toStringList();
            tags.albumArtist = artists.isEmpty() ? std::string() : tagText(artists.front());
        }
        if (tag.contains("disk"))
            tags.disc = tag.item("disk").toIntPair().first;
        return true;
    }
    return false;
}

} // namespace library
