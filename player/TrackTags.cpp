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

std::string displayName(const std::string& file)
{
    auto slash = file.find_last_of('/');
    std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    return name.empty() ? file : name;
}

bool isLocalFile(const std::string& file)
{
    return file.find("://") == std::string::npos;
}

namespace {

/// The last part of the percent-decoded "path=" parameter of `url`; empty
/// when it has none.
std::string pathParameterName(const std::string& url)
{
    auto query = url.find('?');
    if (query == std::string::npos)
        return {};
    auto at = url.find("path=", query);
    while (at != std::string::npos && url[at - 1] != '?' && url[at - 1] != '&')
        at = url.find("path=", at + 1);
    if (at == std::string::npos)
        return {};
    std::string value;
    for (auto i = at + 5; i < url.size() && url[i] != '&'; ++i) {
        if (url[i] == '%' && i + 2 < url.size() && std::isxdigit(static_cast<unsigned char>(url[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(url[i + 2]))) {
            auto digit = [](char c) {
                return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (c | 0x20) - 'a' + 10;
            };
            value.push_back(static_cast<char>(digit(url[i + 1]) * 16 + digit(url[i + 2])));
            i += 2;
        } else {
            value.push_back(url[i]);
        }
    }
    auto slash = value.find_last_of('/');
    return slash == std::string::npos ? value : value.substr(slash + 1);
}

bool namesFile(const std::string& name, const std::string& title)
{
    if (name.empty())
        return false;
    if (title == name)
        return true;
    auto dot = name.find_last_of('.');
    return dot != std::string::npos && dot > 0 && title == name.substr(0, dot);
}

} // namespace

bool isPlaceholderTitle(const std::string& file, const std::string& title)
{
    return title.empty() || namesFile(displayName(file), title) ||
           (!isLocalFile(file) && namesFile(pathParameterName(file), title));
}

std::string extendedInfoField(const TrackTags& tags, std::string_view name)
{
    std::string key(name);
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
    auto number = [](long value) { return value > 0 ? std::to_string(value) : std::string(); };
    if (key == "artist")
        return tags.artist;
    if (key == "album")
        return tags.album;
    if (key == "title")
        return tags.title;
    if (key == "genre")
        return tags.genre;
    if (key == "comment")
        return tags.comment;
    if (key == "length")
        return number(tags.lengthMs);
    if (key == "year")
        return number(tags.year);
    if (key == "track")
        return number(tags.track);
    if (key == "bitrate")
        return number(tags.bitrate);
    return {};
}

} // namespace player
