// Reading a media file's tags with the tag library.
#include "player/TrackTagFields.h"
#include "player/TrackTags.h"

#include "platform/UniqueFd.h"

#include <taglib/fileref.h>
#include <taglib/tfilestream.h>

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
    return tagsOfFile(file);
}

} // namespace player
