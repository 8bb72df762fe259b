# Animated GIFs for test_gui, made at build time by ImageMagick.
set(MF_GIF_FIXTURES ${CMAKE_BINARY_DIR}/fixtures/gif)
add_custom_command(OUTPUT ${MF_GIF_FIXTURES}/made.stamp
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_gifs.sh ${MF_GIF_FIXTURES}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_gifs.sh
  COMMENT "Making GIF test pictures"
  VERBATIM)
add_custom_target(gif_fixtures DEPENDS ${MF_GIF_FIXTURES}/made.stamp)
