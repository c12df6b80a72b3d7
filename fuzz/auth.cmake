tunelet_add_fuzzer(fuzz_digest
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/auth/fuzz_digest.cpp
  LIBS tunelet_http)
tunelet_add_fuzzer(fuzz_range
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/auth/fuzz_range.cpp
  LIBS tunelet_http)
