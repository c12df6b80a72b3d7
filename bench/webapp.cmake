# "playlist.xml" for long playlists against the real player on a window
# thread of its own (two cross-thread messages per entry), next to the cost
# of one cross-thread message.
tunelet_add_bench(bench_webapp_playlist
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/webapp_playlist.cpp
  LIBS tunelet_webapp tunelet_player)

# The library routes: bench_library_server for bench/download.sh and
# bench/cover.sh (next to nginx), and the time per request of the large listings and streams.
tunelet_add_bench(bench_library_server
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LibraryServer.cpp
  LIBS tunelet_webapp)
tunelet_add_bench(bench_library_routes
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library_routes.cpp ${PROJECT_SOURCE_DIR}/tests/http/support/RawClient.cpp
  LIBS tunelet_webapp)
target_include_directories(bench_library_routes PRIVATE ${PROJECT_SOURCE_DIR}/tests)

# A command's latency beside 0, 1 and 1,000 "live" listeners, and the ratio
# of 1,000 to none (loopback: run inside tools/netns.sh).
tunelet_add_bench(bench_live_listeners
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/live_listeners.cpp ${CMAKE_CURRENT_LIST_DIR}/ListenerCrowd.cpp
          ${CMAKE_CURRENT_LIST_DIR}/CrowdProcess.cpp
          ${PROJECT_SOURCE_DIR}/tests/http/support/RawClient.cpp
  LIBS tunelet_webapp tunelet_player)
target_include_directories(bench_live_listeners PRIVATE ${PROJECT_SOURCE_DIR}/tests)
