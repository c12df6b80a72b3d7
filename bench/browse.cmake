# Browsing by tags over an index of 1,000,000 tracks: the artists listing,
# an album page and album listings against a names-only search in the same run.
tunelet_add_bench(bench_browse_catalog
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/browse_catalog.cpp
  LIBS tunelet_webapp tunelet_library)

# The same index written below a player's index directory, for the player's
# resident memory (bench/player_index_memory.sh).
tunelet_add_bench(bench_tagged_index
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tagged_index.cpp
  LIBS tunelet_library)
