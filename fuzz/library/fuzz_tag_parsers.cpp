// Feeds arbitrary bytes, as a media file, to our own tag parsers and checks
// what they answer: the first byte picks the parser, the second how much of
// the file's ends they are given (the rest read as they ask, so the reads
// beyond the ends are fuzzed too), the file is the bytes after them.
//  - However the file is cut into ends, a parser answers as when given it
//    whole (and never crashes or reads out of bounds);
//  - wherever a parser answers, its answer is the tag library's reading of
//    the same file.
#include "library/FlacTags.h"
#include "library/Mp4Tags.h"
#include "library/MpegTags.h"
#include "library/OggVorbisTags.h"
#include "library/TagReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

/// Where the tag library reads the file from: a folder of this process's
/// own, removed at exit.
const std::string& scratchFolder()
{
    static const std::string folder = [] {
        std::string pattern = "/tmp/tunelet-fuzz-tags-XXXXXX";
        require(::mkdtemp(pattern.data()) != nullptr);
        static std::string removal = pattern;
        std::atexit([] { std::system(("rm -rf '" + removal + "'").c_str()); });
        return pattern;
    }();
    return folder;
}

library::FileEnds endsOf(const std::string& file, std::size_t cached)
{
    const std::size_t head = std::min(file.size(), cached);
    const std::size_t tailStart = file.size() - std::min(file.size() - head, cached);
    library::FileEnds ends;
    ends.head = std::string_view(file).substr(0, head);
    ends.tail = std::string_view(file).substr(tailStart);
    ends.tailStart = static_cast<std::int64_t>(tailStart);
    ends.size = static_cast<std::int64_t>(file.size());
    ends.readAt = [&file](std::int64_t offset, std::size_t count, std::string& into) {
        require(offset >= 0 && static_cast<std::size_t>(offset) <= file.size() &&
                count <= file.size() - static_cast<std::size_t>(offset));
        into.assign(file, static_cast<std::size_t>(offset), count);
        return true;
    };
    return ends;
}

struct Format {
    std::optional<library::TrackTags> (*parse)(const library::FileEnds&);
    const char* extension;
};

constexpr Format formats[] = {
    {library::parseMpegTags, "mp3"},
    {library::parseMp4Tags, "m4a"},
    {library::parseFlacTags, "flac"},
    {library::parseOggVorbisTags, "ogg"},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const Format& format = formats[data[0] % std::size(formats)];
    const std::size_t cached = 16 * (static_cast<std::size_t>(data[1]) + 1);
    const std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::optional<library::TrackTags> cut = format.parse(endsOf(file, cached));
    const std::optional<library::TrackTags> whole = format.parse(endsOf(file, file.size()));
    require(cut == whole);
    if (!whole)
        return 0;
    const std::string path = scratchFolder() + "/file." + format.extension;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    require(out != nullptr);
    require(std::fwrite(file.data(), 1, file.size(), out) == file.size());
    std::fclose(out);
    require(library::readTrackTagsWithTagLib(path) == whole);
    return 0;
}
