tunelet_add_bench(bench_http_request_parse
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_request_parse.cpp
  LIBS tunelet_http)
