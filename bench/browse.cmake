# Browsing by tags over an index of 1,000,000 tracks: the artists listing,
# an album page and album listings against a names-only search in the same run.
tunelet_add_bench(bench_browse_catalog
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/browse_catalog.cpp
  LIBS tunelet_webapp tunelet_library)
