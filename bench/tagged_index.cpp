// Writes the tagged index of 1,000,000 tracks (see TaggedIndex.h) below an
// index directory, for a player to serve: bench/player_index_memory.sh.
// Usage: bench_tagged_index INDEX_DIRECTORY ROOT
#include "TaggedIndex.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s INDEX_DIRECTORY ROOT\n", argv[0]);
        return 2;
    }
    bench::writeTaggedIndex(argv[1], argv[2]);
    return 0;
}
