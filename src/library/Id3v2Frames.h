#pragma once

#include "library/FileWindow.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace library {

/// What the tag readers take from an ID3v2 tag at the start of a file: the
/// values of its first text frame of each kind they read, split where the
/// frame separates its values and turned into UTF-8 as the tag library turns
/// them (a value may be empty), and whether it holds a picture.
/// A version 2.3 tag's recording year (TYER) is read as TDRC, as in 2.4.
struct Id3v2Frames {
    /// Just past the tag: where the audio is looked for.
    std::int64_t end = 0;
    std::map<std::string, std::vector<std::string>, std::less<>> texts;
    bool hasPicture = false;
    /// Whether it holds any frame at all: the tag library takes a tag
    /// without frames for no tag.
    bool hasFrames = false;

    /// The values of the text frame `id`; nothing when the tag has none.
    const std::vector<std::string>* values(std::string_view id) const;
};

/// Reads the ID3v2 tag that begins `file`. Nothing when the file does not
/// begin with one, or when the tag holds anything this reader does not
/// fully understand (a version other than 2.3 and 2.4, unsynchronisation,
/// an extended header or a footer, compressed, encrypted or grouped frames,
/// a frame that runs past the tag, text it cannot decode, a second tag
/// right after it): the caller then leaves the file to the tag library.
/// Nothing throws.
std::optional<Id3v2Frames> readId3v2Frames(FileWindow& file);

} // namespace library
