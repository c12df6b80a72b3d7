# The listener under load (bench/load.sh drives bench_server_echo with wrk,
# next to nginx) and its memory with many idle connections. Until the
# authentication code's session step exists, the tests' stand-in fills in.
set(server_bench_session_step)
if(NOT EXISTS ${PROJECT_SOURCE_DIR}/src/http/SessionStep.cpp)
  set(server_bench_session_step ${PROJECT_SOURCE_DIR}/tests/http/support/NoSessionStep.cpp)
endif()
tunelet_add_bench(bench_server_echo
  SOURCES ServerEcho.cpp ${server_bench_session_step}
  LIBS tunelet_http)
tunelet_add_bench(bench_server_idle_memory
  SOURCES ServerIdleMemory.cpp ${PROJECT_SOURCE_DIR}/tests/http/support/RawClient.cpp ${server_bench_session_step}
  LIBS tunelet_http)
target_include_directories(bench_server_idle_memory PRIVATE ${PROJECT_SOURCE_DIR}/tests)
