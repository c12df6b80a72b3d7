# "playlist.xml" for long playlists against the real player on a window
# thread of its own (two cross-thread messages per entry), next to the cost
# of one cross-thread message.
tunelet_add_bench(bench_webapp_playlist
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/webapp_playlist.cpp
  LIBS tunelet_webapp tunelet_player)
