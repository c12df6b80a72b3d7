# Index build and search over a generated tree of 100,000 files, against
# `find` and the search engine's own StandardAnalyzer in the same run.
tunelet_add_bench(bench_search_index
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/search_index.cpp
  LIBS tunelet_library)

# Search over 1,000,000 indexed names against the StandardAnalyzer reference.
tunelet_add_bench(bench_search_million
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/search_million.cpp
  LIBS tunelet_library tunelet_analysis)
