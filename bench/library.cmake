tunelet_add_bench(bench_library_expand
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library_expand.cpp
  LIBS tunelet_library)
