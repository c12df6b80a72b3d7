# The listener under load (bench/load.sh drives bench_server_echo with wrk,
# next to nginx) and its memory with many idle connections.
tunelet_add_bench(bench_server_echo
  SOURCES ServerEcho.cpp
  LIBS tunelet_http)
tunelet_add_bench(bench_server_idle_memory
  SOURCES ServerIdleMemory.cpp ${PROJECT_SOURCE_DIR}/tests/http/support/RawClient.cpp
  LIBS tunelet_http)
target_include_directories(bench_server_idle_memory PRIVATE ${PROJECT_SOURCE_DIR}/tests)
