#pragma once

// What the agreement tests of our own tag parsers share: the file's ends
// as the tag reader gives them, and the mutation run over seed files.
#include "library/FileEnds.h"
#include "library/MediaFiles.h"
#include "library/TagReader.h"
#include "library/TagFileStream.h"
#include "library/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace librarytest {

/// The ends of `bytes` as TagFileStream reads them (head and tail of
/// `cachedBytes` each, or of `cached`), with the rest readable.
inline library::FileEnds endsOf(const std::string& bytes,
                                std::int64_t cached = library::TagFileStream::cachedBytes)
{
    const auto size = static_cast<std::int64_t>(bytes.size());
    const std::int64_t head = size <= 2 * cached ? size : cached;
    const std::int64_t tailStart = size - std::min(size - head, cached);
    library::FileEnds ends;
    ends.head = std::string_view(bytes).substr(0, static_cast<std::size_t>(head));
    ends.tail = std::string_view(bytes).substr(static_cast<std::size_t>(tailStart));
    ends.tailStart = tailStart;
    ends.size = size;
    ends.readAt = [&bytes](std::int64_t offset, std::size_t count, std::string& into) {
        if (offset < 0 || static_cast<std::size_t>(offset) > bytes.size() || count > bytes.size() - offset)
            return false;
        into.assign(bytes, static_cast<std::size_t>(offset), count);
        return true;
    };
    return ends;
}

using Parser = std::optional<library::TrackTags> (*)(const library::FileEnds&);

/// Tags the agreement files carry: plain ones, and accented and CJK texts
/// with a padded title, a bare track number and a full date.
inline const Metadata latinTags{{"artist", "Some Artist"}, {"album_artist", "Some Band"}, {"album", "An Album"},
                                {"title", "A Song"},       {"genre", "Rock"},            {"track", "3/12"},
                                {"disc", "1/2"},           {"date", "2001"}};
inline const Metadata wideTags{{"artist", "Nāndu Café"}, {"album_artist", "Various"}, {"album", "日本語の歌 東京"},
                               {"title", " Tōkyō "},     {"genre", "Jazz"},           {"track", "7"},
                               {"disc", "2"},            {"date", "2001-05-03"}};

/// An agreement file made with ffmpeg: a tone of `seconds` with `tags`
/// (none: no metadata at all), a picture of the tree's when named, and
/// encoder options.
struct MadeFile {
    const char* name;
    std::vector<std::string> options;
    const Metadata* tags;
    const char* picture;
    int seconds;
};

/// Makes "cover.png" and "large.png" (a noisy picture of some 300 KB, far
/// past the head the reader keeps) in `tree`, then each of `made` as
/// NAME.`extension`; their paths in order, none when one failed.
inline std::vector<std::string> makeFiles(const TempTree& tree, const std::vector<MadeFile>& made,
                                          const std::string& extension)
{
    if (!makeImage(tree.path("cover.png")) ||
        !runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                     "nullsrc=s=320x320,geq=random(1)*255:random(1)*255:128", "-frames:v", "1",
                     tree.path("large.png")}))
        return {};
    std::vector<std::string> files;
    for (const MadeFile& file : made) {
        std::vector<std::string> command{"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                         "sine=frequency=440:duration=" + std::to_string(file.seconds)};
        if (*file.picture)
            command.insert(command.end(), {"-i", tree.path(file.picture), "-map", "0", "-map", "1", "-c:v", "copy",
                                           "-disposition:v", "attached_pic"});
        if (file.tags == nullptr)
            command.insert(command.end(), {"-map_metadata", "-1", "-fflags", "+bitexact", "-flags:a", "+bitexact"});
        else
            for (const auto& [key, value] : *file.tags)
                command.insert(command.end(), {"-metadata", key + "=" + value});
        command.insert(command.end(), file.options.begin(), file.options.end());
        command.push_back(tree.path(std::string(file.name) + "." + extension));
        if (!runProgram(command))
            return {};
        files.push_back(command.back());
    }
    return files;
}

/// Checks that `parse` answers each of `files` (common files: it must not
/// decline them) exactly as the tag library reads it, with a length, that
/// the tag reader gives the same, and that short ends (the rest read as
/// needed) change nothing.
inline void expectReadAsTheTagLibraryReads(Parser parse, const std::vector<std::string>& files)
{
    for (const std::string& path : files) {
        const std::string bytes = contentOf(path);
        const std::optional<library::TrackTags> ours = parse(endsOf(bytes));
        const std::optional<library::TrackTags> theirs = library::readTrackTagsWithTagLib(path);
        ASSERT_TRUE(ours.has_value()) << path;
        ASSERT_TRUE(theirs.has_value()) << path;
        EXPECT_EQ(*ours, *theirs) << path;
        EXPECT_GT(ours->durationMs, 0) << path;
        EXPECT_EQ(library::TagReader().read(path), theirs) << path;
        EXPECT_EQ(parse(endsOf(bytes, 512)), ours) << path;
    }
}

/// Damages copies of each seed in many ways (cut short, a byte flipped,
/// a byte set to 0x00, 0x7F or 0xFF, over the first `front` bytes and the
/// last 200) and checks that `parse` never answers other than the tag
/// library for the damaged file: it declines or agrees. Returns how many
/// damaged files it answered.
inline int checkDamagedFiles(const TempTree& tree, const std::vector<std::string>& seeds, Parser parse,
                             std::size_t front)
{
    int answered = 0;
    int cases = 0;
    const std::string damaged = tree.path("damaged" + std::filesystem::path(seeds.front()).extension().string());
    auto check = [&](const std::string& bytes, const std::string& what) {
        ++cases;
        const std::optional<library::TrackTags> ours = parse(endsOf(bytes));
        if (!ours)
            return;
        ++answered;
        tree.file(std::filesystem::path(damaged).filename().string(), bytes);
        EXPECT_EQ(ours, library::readTrackTagsWithTagLib(damaged)) << what;
    };
    for (const std::string& seed : seeds) {
        const std::string original = contentOf(seed);
        for (std::size_t cut = 1; cut < 40; ++cut)
            check(original.substr(0, original.size() * cut / 40), seed + " cut " + std::to_string(cut));
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < std::min(front, original.size()); ++i)
            positions.push_back(i);
        for (std::size_t i = original.size() > 200 ? original.size() - 200 : 0; i < original.size(); ++i)
            positions.push_back(i);
        for (std::size_t at : positions)
            for (int value : {-1, 0x00, 0x7F, 0xFF}) {
                std::string bytes = original;
                bytes[at] = static_cast<char>(value < 0 ? bytes[at] ^ 0x21 : value);
                if (bytes != original)
                    check(bytes, seed + " byte " + std::to_string(at) + " = " + std::to_string(value));
            }
    }
    std::printf("%d damaged files, %d answered\n", cases, answered);
    return answered;
}

} // namespace librarytest
