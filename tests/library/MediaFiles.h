#pragma once

#include "support/RunProgram.h"

#include <string>
#include <utility>
#include <vector>

namespace librarytest {

using testing_support::runProgram;

using Metadata = std::vector<std::pair<std::string, std::string>>;

/// The ffmpeg command, to the output options, that makes audio from the
/// lavfi source `source` ("sine=..."), tagged with `metadata` (ffmpeg's
/// names: artist, album_artist, album, title, genre, track, disc, date; no
/// tags at all when it is empty) and, when `cover` names an image, that
/// image attached as the file's picture.
inline std::vector<std::string> mediaCommand(const std::string& source, const Metadata& metadata,
                                             const std::string& cover)
{
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source};
    if (!cover.empty())
        command.insert(command.end(), {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-disposition:v",
                                       "attached_pic"});
    if (metadata.empty())
        command.insert(command.end(), {"-map_metadata", "-1", "-fflags", "+bitexact", "-flags:a", "+bitexact"});
    for (const auto& [key, value] : metadata)
        command.insert(command.end(), {"-metadata", key + "=" + value});
    return command;
}

/// Makes a tone of `seconds` at `path` in the format of its extension (see
/// `mediaCommand`). False when ffmpeg failed.
inline bool makeMediaFile(const std::string& path, const Metadata& metadata, const std::string& cover = "",
                          int seconds = 1)
{
    std::vector<std::string> command =
        mediaCommand("sine=frequency=440:duration=" + std::to_string(seconds), metadata, cover);
    command.push_back(path);
    return runProgram(command);
}

/// Makes a PNG image at `path`: a small plain one, or a noisy one of about
/// 90 KB.
inline bool makeImage(const std::string& path, bool large = false)
{
    return runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                       large ? "nullsrc=s=256x256,geq=random(1)*255:128:128" : "color=c=red:s=16x16", "-frames:v",
                       "1", path});
}

} // namespace librarytest
