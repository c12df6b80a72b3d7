tunelet_add_fuzzer(fuzz_ini
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/host/fuzz_ini.cpp
  LIBS tunelet_settings)
