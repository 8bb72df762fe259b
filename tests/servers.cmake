# Web servers for the tests, as ctest fixtures: Debian's nginx serving
# build/www/ (tests put their files there) and the fault server for what a
# real server won't do. Each writes its base URL to build/servers/<name>/url,
# which the Windows test programs read through BuildPath().
set(MF_SERVERS_DIR ${PROJECT_SOURCE_DIR}/tools/servers)
set(MF_SERVER_STATE ${CMAKE_BINARY_DIR}/servers)
set(MF_WWW_ROOT ${CMAKE_BINARY_DIR}/www)

add_test(NAME nginx_start
  COMMAND ${MF_SERVERS_DIR}/nginx-start.sh ${MF_SERVER_STATE}/nginx ${MF_WWW_ROOT} 512k)
set_tests_properties(nginx_start PROPERTIES FIXTURES_SETUP nginx TIMEOUT 30)
add_test(NAME nginx_stop COMMAND ${MF_SERVERS_DIR}/nginx-stop.sh ${MF_SERVER_STATE}/nginx)
set_tests_properties(nginx_stop PROPERTIES FIXTURES_CLEANUP nginx TIMEOUT 30)

add_test(NAME faultserver_start COMMAND ${MF_SERVERS_DIR}/faultserver-start.sh ${MF_SERVER_STATE}/faultserver)
set_tests_properties(faultserver_start PROPERTIES FIXTURES_SETUP faultserver TIMEOUT 30)
add_test(NAME faultserver_stop COMMAND ${MF_SERVERS_DIR}/faultserver-stop.sh ${MF_SERVER_STATE}/faultserver)
set_tests_properties(faultserver_stop PROPERTIES FIXTURES_CLEANUP faultserver TIMEOUT 30)

# The message server of the push messages (tools/servers/messageserver.py).
add_test(NAME messageserver_start COMMAND ${MF_SERVERS_DIR}/messageserver-start.sh ${MF_SERVER_STATE}/messageserver)
set_tests_properties(messageserver_start PROPERTIES FIXTURES_SETUP messageserver TIMEOUT 30)
add_test(NAME messageserver_stop COMMAND ${MF_SERVERS_DIR}/messageserver-stop.sh ${MF_SERVER_STATE}/messageserver)
set_tests_properties(messageserver_stop PROPERTIES FIXTURES_CLEANUP messageserver TIMEOUT 30)

# nginx over https with a test CA that the machine trusts while it runs
# (tools/servers/https-start.sh); its stop takes the CA out again, also when
# tests failed.
add_test(NAME https_start COMMAND ${MF_SERVERS_DIR}/https-start.sh ${MF_SERVER_STATE}/https ${MF_WWW_ROOT})
set_tests_properties(https_start PROPERTIES FIXTURES_SETUP https TIMEOUT 60)
add_test(NAME https_stop COMMAND ${MF_SERVERS_DIR}/https-stop.sh ${MF_SERVER_STATE}/https)
set_tests_properties(https_stop PROPERTIES FIXTURES_CLEANUP https TIMEOUT 60)
