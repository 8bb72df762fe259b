# The release of the offline-update tests, made at build time: a product
# folder as the update server serves it (one file only as its ._.zip
# variant, zipped by Info-ZIP) and the files it must deliver.
find_program(MF_PYTHON3 python3 REQUIRED)
find_program(MF_INFOZIP zip REQUIRED)
set(MF_RELEASE_FIXTURE ${CMAKE_BINARY_DIR}/fixtures/release)
add_custom_command(OUTPUT ${MF_RELEASE_FIXTURE}/made.stamp
  COMMAND ${MF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/make_release.py ${MF_RELEASE_FIXTURE} ${MF_INFOZIP}
  COMMAND ${CMAKE_COMMAND} -E touch ${MF_RELEASE_FIXTURE}/made.stamp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_release.py
  COMMENT "Making the offline release fixture"
  VERBATIM)
add_custom_target(release_fixture DEPENDS ${MF_RELEASE_FIXTURE}/made.stamp)
