# The release of the offline-update tests, made at build time: a product
# folder as the update server serves it (one file only as its ._.zip
# variant, zipped by Info-ZIP) and the files it must deliver.
include(${CMAKE_CURRENT_LIST_DIR}/../support/made_fixture.cmake)
mirefold_made_fixture(release_fixture ${CMAKE_CURRENT_LIST_DIR}/make_release.py ${CMAKE_BINARY_DIR}/fixtures/release
  "Making the offline release fixture")
