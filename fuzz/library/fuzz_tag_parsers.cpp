// Feeds arbitrary bytes, as a FLAC or an Ogg Vorbis file, to our tag parsers
// and checks that wherever a parser answers, its answer is the tag library's
// reading of the same file. The first byte picks the format (its lowest
// bit) and how much of the file the parser is given as its head and tail
// (the rest read through `readAt`), so that the reads beyond the ends are
// fuzzed too; the file is the bytes after it.
#include "library/FlacTags.h"
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const bool ogg = (data[0] & 1) != 0;
    constexpr std::size_t ends[] = {16, 64, 300, 1024, 4096, 65536};
    const std::size_t kept = ends[(data[0] >> 1) % std::size(ends)];
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    library::FileEnds file;
    file.size = static_cast<std::int64_t>(bytes.size());
    file.head = std::string_view(bytes).substr(0, std::min(kept, bytes.size()));
    const std::size_t tail = std::min(kept, bytes.size() - file.head.size());
    file.tail = std::string_view(bytes).substr(bytes.size() - tail);
    file.tailStart = static_cast<std::int64_t>(bytes.size() - tail);
    file.readAt = [&bytes](std::int64_t offset, std::size_t count, std::string& into) {
        require(offset >= 0 && static_cast<std::size_t>(offset) <= bytes.size() &&
                count <= bytes.size() - static_cast<std::size_t>(offset));
        into.assign(bytes, static_cast<std::size_t>(offset), count);
        return true;
    };
    const std::optional<library::TrackTags> ours =
        ogg ? library::parseOggVorbisTags(file) : library::parseFlacTags(file);
    if (!ours)
        return 0;
    const std::string path = scratchFolder() + (ogg ? "/file.ogg" : "/file.flac");
    if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
        require(std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size());
        std::fclose(out);
    }
    require(library::readTrackTagsWithTagLib(path) == ours);
    return 0;
}
