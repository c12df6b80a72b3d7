# Index build with tags over a generated tree of small tagged files, against
# the search engine's StandardAnalyzer indexing the same names alone, and a
# rebuild of the unchanged tree, in the same run.
tunelet_add_bench(bench_index_tags
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/index_tags.cpp
  LIBS tunelet_library)

# Our FLAC and Ogg Vorbis tag parsers against the tag library on the same
# files, in the same run.
tunelet_add_bench(bench_tag_parsers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/tag_parsers.cpp
  LIBS tunelet_library)
