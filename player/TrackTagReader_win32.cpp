// Reading a media file's tags on Windows: the same tag library and fields as
// on Linux, the file opened by the library's stream, which takes UTF-8 paths
// (the platform layer opens them by their wide names).
#include "player/TrackTagFields.h"
#include "player/TrackTags.h"

#include "library/TagFileStream.h"

#include <taglib/fileref.h>

namespace player {

TrackTags readTrackTags(const std::string& path)
{
    // The stream refuses an empty path, one with a NUL and anything that is
    // not a regular file, without waiting on it.
    library::TagFileStream stream(path);
    if (!stream.isOpen())
        return {};
    // Only the tag fields and stream properties are needed; the fast read
    // skips scanning whole files for exact lengths.
    TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
    if (file.isNull())
        return {};
    return tagsOfFile(file);
}

} // namespace player
