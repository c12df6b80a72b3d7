# The player's saved state: its reader alone, without the player's audio and
# tag libraries.
tunelet_add_fuzzer(fuzz_player_state
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/player/fuzz_player_state.cpp ${PROJECT_SOURCE_DIR}/player/PlayerState.cpp
  LIBS tunelet_settings)
target_include_directories(fuzz_player_state PRIVATE ${PROJECT_SOURCE_DIR})
