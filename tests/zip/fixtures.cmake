# Archives for test_zip, made at build time by real tools (Info-ZIP zip and
# Python's zipfile) into the build tree.
include(${CMAKE_CURRENT_LIST_DIR}/../support/made_fixture.cmake)
mirefold_made_fixture(zip_fixtures ${CMAKE_CURRENT_LIST_DIR}/make_fixtures.py ${CMAKE_BINARY_DIR}/fixtures/zip
  "Making zip test archives")
