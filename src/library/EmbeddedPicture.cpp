#include "library/EmbeddedPicture.h"

#include "library/LibraryPath.h"
#include "library/TagFileStream.h"

#include <taglib/asffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <exception>

namespace library {
namespace {

/// The type ID3v2 and FLAC give a front cover.
constexpr int frontCoverType = 3;

std::string bytesOf(const TagLib::ByteVector& data)
{
    if (data.isEmpty() || data.size() > maximumPictureBytes)
        return {};
    return std::string(data.data(), data.size());
}

/// The front cover among `pictures`, else the first; `typeOf` and `dataOf`
/// read one picture.
template <typename List, typename TypeOf, typename DataOf>
std::string chosenPicture(const List& pictures, TypeOf typeOf, DataOf dataOf)
{
    std::string first;
    for (const auto& picture : pictures) {
        std::string bytes = bytesOf(dataOf(picture));
        if (bytes.empty())
            continue;
        if (typeOf(picture) == frontCoverType)
            return bytes;
        if (first.empty())
            first = std::move(bytes);
    }
    return first;
}

std::string id3Picture(TagLib::ID3v2::Tag* tag)
{
    if (tag == nullptr)
        return {};
    const TagLib::ID3v2::FrameList& frames = tag->frameListMap()["APIC"];
    return chosenPicture(
        frames,
        [](TagLib::ID3v2::Frame* frame) {
            auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            return picture != nullptr ? static_cast<int>(picture->type()) : -1;
        },
        [](TagLib::ID3v2::Frame* frame) {
            auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame);
            return picture != nullptr ? picture->picture() : TagLib::ByteVector();
        });
}

std::string flacPictures(const TagLib::List<TagLib::FLAC::Picture*>& pictures)
{
    return chosenPicture(
        pictures, [](TagLib::FLAC::Picture* picture) { return static_cast<int>(picture->type()); },
        [](TagLib::FLAC::Picture* picture) { return picture->data(); });
}

std::string xiphPicture(TagLib::Ogg::XiphComment* comment)
{
    return comment != nullptr ? flacPictures(comment->pictureList()) : std::string();
}

std::string mp4Picture(TagLib::MP4::Tag* tag)
{
    if (tag == nullptr || !tag->contains("covr"))
        return {};
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
        std::string bytes = bytesOf(art.data());
        if (!bytes.empty())
            return bytes;
    }
    return {};
}

std::string asfPicture(TagLib::ASF::Tag* tag)
{
    if (tag == nullptr || !tag->contains("WM/Picture"))
        return {};
    return chosenPicture(
        tag->attribute("WM/Picture"),
        [](const TagLib::ASF::Attribute& attribute) { return static_cast<int>(attribute.toPicture().type()); },
        [](const TagLib::ASF::Attribute& attribute) { return attribute.toPicture().picture(); });
}

std::string pictureByType(const std::string& path)
{
    const std::string extension = extensionOf(path);
    TagFileStream stream(path);
    if (!stream.isOpen())
        return {};
    TagLib::ID3v2::FrameFactory* frames = TagLib::ID3v2::FrameFactory::instance();
    if (extension == "mp3" || extension == "mp2" || extension == "mp1") {
        TagLib::MPEG::File file(&stream, frames, false);
        return file.isValid() ? id3Picture(file.ID3v2Tag()) : std::string();
    }
    if (extension == "flac") {
        TagLib::FLAC::File file(&stream, frames, false);
        if (!file.isValid())
            return {};
        std::string bytes = flacPictures(file.pictureList());
        return bytes.empty() ? xiphPicture(file.xiphComment()) : bytes;
    }
    if (extension == "ogg") {
        // An .ogg file holds Vorbis, Opus or FLAC: each reader refuses the
        // others, and each starts from the stream's beginning.
        if (TagLib::Ogg::Vorbis::File file(&stream, false); file.isValid())
            return xiphPicture(file.tag());
        stream.seek(0, TagLib::IOStream::Beginning);
        if (TagLib::Ogg::Opus::File file(&stream, false); file.isValid())
            return xiphPicture(file.tag());
        stream.seek(0, TagLib::IOStream::Beginning);
        if (TagLib::Ogg::FLAC::File file(&stream, false); file.isValid())
            return xiphPicture(file.tag());
        return {};
    }
    if (extension == "m4a" || extension == "mp4" || extension == "mov") {
        TagLib::MP4::File file(&stream, false);
        return file.isValid() ? mp4Picture(file.tag()) : std::string();
    }
    if (extension == "wma") {
        TagLib::ASF::File file(&stream, false);
        return file.isValid() ? asfPicture(file.tag()) : std::string();
    }
    if (extension == "wav") {
        TagLib::RIFF::WAV::File file(&stream, false);
        return file.isValid() && file.hasID3v2Tag() ? id3Picture(file.ID3v2Tag()) : std::string();
    }
    return {};
}

} // namespace

std::string embeddedPicture(const std::string& path)
{
    try {
        return pictureByType(path);
    } catch (const std::exception&) {
        // A damaged file that makes the tag reader allocate without bound.
        return {};
    }
}

} // namespace library
