tunelet_add_fuzzer(fuzz_request
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_request.cpp
  LIBS tunelet_message)
tunelet_add_fuzzer(fuzz_response
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_response.cpp
  LIBS tunelet_message)
