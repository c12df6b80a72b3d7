tunelet_add_fuzzer(fuzz_name_terms
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/analysis/fuzz_name_terms.cpp
  LIBS tunelet_analysis)
