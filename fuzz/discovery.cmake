tunelet_add_fuzzer(fuzz_announcement
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/discovery/fuzz_announcement.cpp
  LIBS tunelet_discovery)
