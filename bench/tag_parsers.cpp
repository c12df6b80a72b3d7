// Our FLAC and Ogg Vorbis tag parsers against the tag library reading the
// same files, in one run: a few short tracks made with ffmpeg (FLAC with and
// without a picture, Ogg Vorbis), copied to 2,000 files (the environment
// variable TUNELET_BENCH_FILES sets another count). Each round reads every
// file both ways, opening it each time: the tag library through TagReader as
// the indexer reads with our parsers off, the parsers from the head and tail read as TagReader's
// stream reads them. Prints files per second of each (median CPU time of 7
// interleaved rounds) and their ratio, the parsers' rate on the same bytes
// already in memory, and how many files the parsers declined or read
// otherwise than the tag library (expected: none).
#include "ScratchFolder.h"
#include "Timing.h"
#include "library/FlacTags.h"
#include "library/OggVorbisTags.h"
#include "library/TagFileStream.h"
#include "library/TagReader.h"
#include "platform/Files.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>


namespace {

namespace fs = std::filesystem;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

/// Reads a file's head and tail as TagReader's stream does, into `store`,
/// and parses them with the parser of its extension.
class ParserReader {
public:
    std::optional<library::TrackTags> read(const std::string& path)
    {
        platform::UniqueFd file = platform::openFile(path, platform::openRead | platform::openNonBlocking);
        platform::FileStatus status;
        if (!file || !platform::statusOf(file.get(), status) || !status.isRegular())
            return std::nullopt;
        const auto size = static_cast<std::int64_t>(status.size);
        constexpr std::int64_t kept = library::TagFileStream::cachedBytes;
        const std::int64_t headSize = size <= 2 * kept ? size : kept;
        const std::int64_t tailSize = std::min(size - headSize, kept);
        store.resize(static_cast<std::size_t>(headSize + tailSize));
        const int fd = file.get();
        auto fill = [fd](char* to, std::int64_t offset, std::size_t count) {
            return count == 0 || platform::readAt(fd, to, count, static_cast<std::uint64_t>(offset)) ==
                                     static_cast<long>(count);
        };
        if (!fill(store.data(), 0, static_cast<std::size_t>(headSize)) ||
            !fill(store.data() + headSize, size - tailSize, static_cast<std::size_t>(tailSize)))
            return std::nullopt;
        library::FileEnds ends;
        ends.size = size;
        ends.head = std::string_view(store).substr(0, static_cast<std::size_t>(headSize));
        ends.tail = std::string_view(store).substr(static_cast<std::size_t>(headSize));
        ends.tailStart = size - tailSize;
        ends.readAt = [&fill](std::int64_t offset, std::size_t count, std::string& into) {
            into.resize(count);
            return fill(into.data(), offset, count);
        };
        return path.ends_with(".flac") ? library::parseFlacTags(ends) : library::parseOggVorbisTags(ends);
    }

private:
    std::string store;
};

} // namespace

int main()
{
    bench::ScratchFolder folder("tunelet-tag-parsers-bench");
    const std::string cover = folder.path() + "/cover.png";
    if (!bench::runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=blue:s=64x64",
              "-frames:v", "1", cover}))
        return 1;
    std::vector<std::string> seeds;
    for (const char* name : {"picture.flac", "plain.flac", "plain.ogg"}) {
        const std::string path = folder.path() + "/" + name;
        std::vector<std::string> command{"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                         "sine=frequency=440:duration=1"};
        if (std::string(name) == "picture.flac")
            command.insert(command.end(), {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-disposition:v",
                                           "attached_pic"});
        for (const char* tag : {"artist=Some Artist", "album=Some Album", "title=Some Title", "track=3/12",
                                "date=2001", "genre=Jazz", "album_artist=Various"})
            command.insert(command.end(), {"-metadata", tag});
        command.push_back(path);
        if (!bench::runProgram(command))
            return 1;
        seeds.push_back(path);
    }
    const std::size_t count = bench::fileCount(2000);
    std::vector<std::string> files;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& seed = seeds[i % seeds.size()];
        files.push_back(folder.path() + "/" + std::to_string(i) + fs::path(seed).filename().string());
        fs::copy_file(seed, files.back());
    }

    library::TagReader tagLibrary;
    tagLibrary.setOwnParsers(false);
    ParserReader parsers;
    std::size_t differing = 0;
    for (const std::string& file : files)
        if (parsers.read(file) != tagLibrary.read(file))
            ++differing;
    // The parsers' own share: the same files parsed from memory.
    std::vector<std::string> contents;
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        contents.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<double> tagLibraryTimes, parserTimes, memoryTimes;
    std::size_t answered = 0;
    for (int round = 0; round < 7; ++round) {
        double start = cpuSeconds();
        for (const std::string& file : files)
            answered += tagLibrary.read(file).has_value();
        tagLibraryTimes.push_back(cpuSeconds() - start);
        start = cpuSeconds();
        for (const std::string& file : files)
            answered += parsers.read(file).has_value();
        parserTimes.push_back(cpuSeconds() - start);
        start = cpuSeconds();
        for (std::size_t i = 0; i < files.size(); ++i) {
            library::FileEnds ends;
            ends.head = contents[i];
            ends.size = static_cast<std::int64_t>(contents[i].size());
            ends.tailStart = ends.size;
            answered += (files[i].ends_with(".flac") ? library::parseFlacTags(ends)
                                                     : library::parseOggVorbisTags(ends)).has_value();
        }
        memoryTimes.push_back(cpuSeconds() - start);
    }
    auto median = [](std::vector<double> times) {
        std::sort(times.begin(), times.end());
        return times[times.size() / 2];
    };
    const double tagLibrarySeconds = median(tagLibraryTimes);
    const double parserSeconds = median(parserTimes);
    std::printf("files: %zu (FLAC with and without a picture, Ogg Vorbis), load %s\n", files.size(),
                bench::loadAverages().c_str());
    std::printf("tag library: %.0f files/s (CPU)\n", static_cast<double>(files.size()) / tagLibrarySeconds);
    std::printf("our parsers: %.0f files/s (CPU)\n", static_cast<double>(files.size()) / parserSeconds);
    std::printf("tag library / parsers CPU time: %.2f\n", tagLibrarySeconds / parserSeconds);
    std::printf("our parsers from memory (no open, no read): %.0f files/s (CPU)\n",
                static_cast<double>(files.size()) / median(memoryTimes));
    std::printf("files the parsers declined or read otherwise: %zu\n", differing);
    return differing == 0 && answered == 21 * files.size() ? 0 : 1;
}
