#pragma once

#include "library/TrackTags.h"
#include "platform/UniqueFd.h"

#include <memory>
#include <optional>
#include <string>

namespace library {

/// Reads the tags and the audio length of media files, one after another,
/// keeping the memory of one file's read for the next (a reader of a whole
/// library, such as the indexer, allocates it once). One thread at a time;
/// nothing throws.
class TagReader {
public:
    TagReader();
    ~TagReader();
    TagReader(const TagReader&) = delete;
    TagReader& operator=(const TagReader&) = delete;

    /// The tags and length of the media file at `path` (bytes as the file
    /// system gives them; UTF-8 on Windows). Nothing when the file cannot be
    /// opened or is not a media file the tag library knows; a file it knows
    /// without tags gives empty tags with whatever length it can tell. A
    /// file the tag library throws on counts as one it does not know, so
    /// one bad file costs its tags alone, never a whole rebuild.
    ///
    /// The commonest formats are read by our own parsers first, from the
    /// file's head and tail the tag library would be given: quicker, and
    /// giving exactly the tag library's answer wherever they answer; any
    /// file they do not fully understand goes to the tag library.
    std::optional<TrackTags> read(const std::string& path);
    /// The same from `opened`, the file at `path` opened already with
    /// `TagFileStream::openFlags`.
    std::optional<TrackTags> read(const std::string& path, platform::UniqueFd opened);

    /// Whether our own parsers are tried first (on unless turned off). Off,
    /// every file is read by the tag library alone: what the parsers must
    /// agree with, and a measure of what they save.
    void setOwnParsers(bool on) { ownParsers = on; }

private:
    std::optional<TrackTags> readUnguarded(const std::string& path, platform::UniqueFd descriptor);

    struct Memory;
    std::unique_ptr<Memory> memory;
    bool ownParsers = true;
};

/// One file's tags, as `TagReader::read` gives them. Any thread.
std::optional<TrackTags> readTrackTags(const std::string& path);

/// The tag library's own reading of `path`, without our parsers: what
/// they must agree with wherever they answer. Any thread.
std::optional<TrackTags> readTrackTagsWithTagLib(const std::string& path);

} // namespace library
