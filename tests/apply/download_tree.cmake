# The product tree of the download phase's tests (tests/apply), written into
# nginx's document root by a fixture that the suite requires.
find_program(MF_PYTHON3_TREE python3 REQUIRED)
find_program(MF_INFOZIP_TREE zip REQUIRED)
add_test(NAME download_tree
  COMMAND ${MF_PYTHON3_TREE} ${CMAKE_CURRENT_LIST_DIR}/make_download_tree.py ${CMAKE_BINARY_DIR}/www ${MF_INFOZIP_TREE})
set_tests_properties(download_tree PROPERTIES FIXTURES_SETUP downloadtree TIMEOUT 60)
