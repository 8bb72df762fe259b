# The update check's digest service and fixture files (zip variants of lists
# and a parameter package made by the zip tool) as a ctest fixture. The
# service writes its base URL to build/servers/checkservice/url; the files go
# to build/www/check-fixtures/, served by the nginx fixture.
add_test(NAME checkservice_start
  COMMAND ${PROJECT_SOURCE_DIR}/tools/checkservice/checkservice-start.sh
          ${CMAKE_BINARY_DIR}/servers/checkservice ${CMAKE_BINARY_DIR}/www)
set_tests_properties(checkservice_start PROPERTIES FIXTURES_SETUP checkservice TIMEOUT 30)
add_test(NAME checkservice_stop
  COMMAND ${PROJECT_SOURCE_DIR}/tools/checkservice/checkservice-stop.sh ${CMAKE_BINARY_DIR}/servers/checkservice)
set_tests_properties(checkservice_stop PROPERTIES FIXTURES_CLEANUP checkservice TIMEOUT 30)
