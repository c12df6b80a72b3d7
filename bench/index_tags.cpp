// Index build with tags over a generated tree of small tagged files: a few
// made with ffmpeg (mp3, flac, ogg, m4a; tags, half of them with a picture),
// copied into album folders of 20 files (100,000 files by default; the
// environment variable TUNELET_BENCH_FILES sets another count). In one run,
// each in a child process whose peak memory the system reports:
//  - the reference: the search engine alone indexing the same names with its
//    StandardAnalyzer (names only, given before its clock starts);
//  - the Indexer's build with tag reading off (names, sizes and times only);
//  - the Indexer's first build, reading every file's tags;
//  - the same build with the tag library alone reading them (without our
//    own parsers of the commonest formats);
//  - the Indexer's rebuild of the unchanged tree.
// Prints files per second and the ratios: first build / names-only build
// (target: at most 3), the tag library's alone / names-only, first build /
// reference, and first build / unchanged rebuild (target: at least 10). The
// names-only and first builds take turns three times, the unchanged rebuild
// runs three times, and each gives its best: the others' load on this machine comes and goes within seconds, and
// the names-only build lasts under one.
#include "ReferenceIndex.h"
#include "ScratchFolder.h"
#include "Timing.h"
#include "library/Indexer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>


namespace {

using namespace bench;
namespace fs = std::filesystem;

/// The files copied into the tree: one short tagged track per format, with
/// and without a picture.
std::vector<std::string> makeSeeds(const std::string& folder)
{
    const std::string cover = folder + "/cover.png";
    if (!runProgram({"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", "color=c=blue:s=64x64",
              "-frames:v", "1", cover}))
        return {};
    std::vector<std::string> seeds;
    int made = 0;
    for (const char* extension : {"mp3", "flac", "ogg", "m4a"}) {
        for (bool picture : {true, false}) {
            const std::string path = folder + "/seed" + std::to_string(made++) + "." + extension;
            std::vector<std::string> command{"ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi",
                                             "-i", "sine=frequency=440:duration=0.2:sample_rate=8000"};
            // ffmpeg writes no picture into Ogg.
            if (picture && std::string(extension) != "ogg")
                command.insert(command.end(), {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy",
                                               "-disposition:v", "attached_pic"});
            for (const char* tag : {"artist=Some Artist", "album_artist=Some Band", "album=An Album Title",
                                    "title=A Song Title", "genre=Rock", "track=3/12", "disc=1/2", "date=2001"})
                command.insert(command.end(), {"-metadata", tag});
            command.push_back(path);
            if (!runProgram(command))
                return {};
            seeds.push_back(path);
        }
    }
    return seeds;
}

struct Tree {
    ScratchFolder scratch{"tunelet-tags-bench"};
    std::string root = scratch.path();
    std::string music;
    std::size_t files = 0;
    std::size_t entries = 0;

    explicit Tree(std::size_t count)
    {
        music = root + "/music";
        fs::create_directories(root + "/seeds");
        const std::vector<std::string> seeds = makeSeeds(root + "/seeds");
        if (seeds.empty()) {
            std::fprintf(stderr, "ffmpeg could not make the seed files\n");
            std::exit(1);
        }
        for (std::size_t file = 0; file < count; ++file) {
            const std::string folder = music + "/Artist " + std::to_string(file / 200) + "/Album " +
                                       std::to_string(file / 20);
            if (file % 20 == 0) {
                fs::create_directories(folder);
                entries += file % 200 == 0 ? 2 : 1;
            }
            const std::string& seed = seeds[file % seeds.size()];
            fs::copy_file(seed, folder + "/" + std::to_string(file % 20 + 1) + " Song number " +
                                    std::to_string(file) + fs::path(seed).extension().string());
            ++files;
            ++entries;
        }
    }
};

bool referenceBuild(const std::vector<std::wstring>& names, const std::string& folder)
{
    lucene::analysis::standard::StandardAnalyzer analyzer;
    return writeIndex(folder, analyzer, [&](lucene::index::IndexWriter& writer) {
        for (const std::wstring& name : names) {
            lucene::document::Document document;
            document.add(*new Field(L"name", name.c_str(), indexedField));
            writer.addDocument(&document);
        }
    });
}

/// One rebuild by the Indexer in `indexDirectory`, reading tags or not;
/// false unless it indexed every entry and read the tags of `expectedReads` files.
bool indexerBuild(const Tree& tree, const std::string& indexDirectory, std::size_t expectedReads,
                  bool readTags = true, bool ownParsers = true)
{
    library::Indexer indexer({tree.music}, {"mp3", "flac", "ogg", "m4a"}, indexDirectory);
    if (!indexer.setTagReading(readTags) || !indexer.setOwnTagParsers(ownParsers) || !indexer.start())
        return false;
    indexer.threadHandle()->wait();
    if (indexer.tagReadCount() != expectedReads)
        std::fprintf(stderr, "read %llu files' tags, expected %zu\n",
                     static_cast<unsigned long long>(indexer.tagReadCount()), expectedReads);
    return indexer.lastRebuildComplete() && indexer.entryCount() == tree.entries &&
           indexer.tagReadCount() == expectedReads;
}

} // namespace

int main()
{
    const std::size_t count = fileCount(100'000);
    std::printf("generating %zu tagged files...\n", count);
    std::fflush(stdout);
    const Tree tree(count);
    const std::string ours = tree.root + "/Plugins/gen_Tunelet";

    // The names the reference indexes, found as the crawl finds them.
    std::vector<std::wstring> names;
    auto collect = [&names](const library::FindData& entry, const std::string&) {
        names.push_back(analysis::decodeUtf8(indexedName(entry)));
    };
    forEachEntry(tree.music, collect);
    const Run reference = inChild([&] { return referenceBuild(names, tree.root + "/reference"); });
    Run namesOnly;
    Run first;
    for (int turn = 0; turn < 3; ++turn) {
        const std::string suffix = std::to_string(turn);
        keepBest(namesOnly, inChild([&] { return indexerBuild(tree, tree.root + "/names-only" + suffix, 0, false); }));
        // The last turn's index is the one rebuilt unchanged below.
        const std::string folder = turn == 2 ? ours : tree.root + "/first" + suffix;
        keepBest(first, inChild([&] { return indexerBuild(tree, folder, tree.files); }));
    }
    const Run tagLibAlone =
        inChild([&] { return indexerBuild(tree, tree.root + "/taglib-alone", tree.files, true, false); });
    Run again;
    for (int turn = 0; turn < 3; ++turn)
        keepBest(again, inChild([&] { return indexerBuild(tree, ours, 0); }));

    auto line = [&](const char* label, const Run& run) {
        std::printf("  %-28s %8.3f s  %9.0f files/s  cpu %8.3f s  %9.0f files/s  peak %5ld MB\n", label,
                    run.seconds, static_cast<double>(tree.files) / run.seconds, run.cpuSeconds,
                    static_cast<double>(tree.files) / run.cpuSeconds, run.peakKilobytes / 1024);
    };
    std::printf("\nindex build of %zu files (%zu entries with the folders)\n", tree.files, tree.entries);
    line("reference, names only", reference);
    line("Indexer, tag reading off", namesOnly);
    line("Indexer with tags, first", first);
    line("the same, TagLib alone", tagLibAlone);
    line("Indexer, unchanged tree", again);
    std::printf("  first build / names-only     %6.2f wall %6.2f cpu  (target: at most 3)\n",
                first.seconds / namesOnly.seconds, first.cpuSeconds / namesOnly.cpuSeconds);
    std::printf("  TagLib alone / names-only    %6.2f wall %6.2f cpu\n", tagLibAlone.seconds / namesOnly.seconds,
                tagLibAlone.cpuSeconds / namesOnly.cpuSeconds);
    std::printf("  first build / reference      %6.2f wall %6.2f cpu\n",
                first.seconds / reference.seconds, first.cpuSeconds / reference.cpuSeconds);
    std::printf("  first build / unchanged      %6.1f wall %6.1f cpu  (target: at least 10)\n",
                first.seconds / again.seconds, first.cpuSeconds / again.cpuSeconds);
    return 0;
}
