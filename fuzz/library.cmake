tunelet_add_fuzzer(fuzz_m3u
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_m3u.cpp
  LIBS tunelet_library)
tunelet_add_fuzzer(fuzz_pls
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_pls.cpp
  LIBS tunelet_library)
tunelet_add_fuzzer(fuzz_peer_playlist
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_peer_playlist.cpp
  LIBS tunelet_library)
tunelet_add_fuzzer(fuzz_peer_listing
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_peer_listing.cpp
  LIBS tunelet_webapp tunelet_library)
tunelet_add_fuzzer(fuzz_peer_browse
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_peer_browse.cpp
  LIBS tunelet_library)
tunelet_add_fuzzer(fuzz_tag_parsers
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library/fuzz_tag_parsers.cpp
  LIBS tunelet_library)
