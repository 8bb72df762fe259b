# Archives for test_zip, made at build time by real tools (Info-ZIP zip and
# Python's zipfile) into the build tree.
find_program(MF_PYTHON3 python3 REQUIRED)
find_program(MF_INFOZIP zip REQUIRED)
set(MF_ZIP_FIXTURES ${CMAKE_BINARY_DIR}/fixtures/zip)
add_custom_command(OUTPUT ${MF_ZIP_FIXTURES}/made.stamp
  COMMAND ${MF_PYTHON3} ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.py ${MF_ZIP_FIXTURES} ${MF_INFOZIP}
  COMMAND ${CMAKE_COMMAND} -E touch ${MF_ZIP_FIXTURES}/made.stamp
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.py
  COMMENT "Making zip test archives"
  VERBATIM)
add_custom_target(zip_fixtures DEPENDS ${MF_ZIP_FIXTURES}/made.stamp)
