// expandPath of a shared directory holding 20,000 media files (20 artists,
// 10 albums each, 100 songs per album, plus a cover image and a playlist per
// album that the expansion passes over), generated in a temporary folder.
#include "settings/Settings.h"
#include "library/MediaLibrary.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class Tree {
public:
    Tree()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tunelet-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            std::abort();
        root = pattern;
        for (int artist = 0; artist < 20; ++artist) {
            for (int album = 0; album < 10; ++album) {
                const std::string folder = root + "/music/Artist " + std::to_string(artist) + "/Album " +
                                           std::to_string(album);
                std::filesystem::create_directories(folder);
                for (int song = 0; song < 100; ++song)
                    std::ofstream(folder + "/" + std::to_string(song) + " Song title.mp3");
                std::ofstream(folder + "/cover.jpg");
                std::ofstream(folder + "/album.m3u");
            }
        }
    }
    ~Tree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    std::string root;
};

void expandTwentyThousandFiles(benchmark::State& state)
{
    static Tree tree;
    host::Settings settings(tree.root + "/bench.ini");
    settings.update([&](auto& d) { d.sharedDirs = {tree.root + "/music"}; });
    library::MediaLibrary mediaLibrary(settings);
    std::size_t found = 0;
    for (auto _ : state) {
        std::vector<std::string> out;
        mediaLibrary.expandPath(tree.root + "/music", out);
        found = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    if (found != 20000)
        state.SkipWithError("the expansion did not find 20,000 files");
    state.counters["files"] = static_cast<double>(found);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(found));
}

} // namespace

BENCHMARK(expandTwentyThousandFiles)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
