# The local HTTP/HTTPS test server as CTest fixtures. A test that talks to it
# sets FIXTURES_REQUIRED "net_servers;net_server_process":
#   net_server_process  the Python server itself (started and stopped natively
#                       by shell scripts; its state file lands in bin/);
#   net_servers         its test CA trusted in this prefix's machine Root store.
if(WIN32)
  set(TDS_NET_SERVER_DIR ${CMAKE_BINARY_DIR}/net-servers)
  set(TDS_NET_SERVER_STATE ${CMAKE_BINARY_DIR}/bin/net_test_servers.txt)
  add_test(NAME net_servers_start
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/servers/start_servers.sh
                   ${TDS_NET_SERVER_DIR} ${TDS_NET_SERVER_STATE})
  set_tests_properties(net_servers_start PROPERTIES FIXTURES_SETUP net_server_process TIMEOUT 60)
  add_test(NAME net_servers_stop
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/servers/stop_servers.sh
                   ${TDS_NET_SERVER_DIR} ${TDS_NET_SERVER_STATE})
  set_tests_properties(net_servers_stop PROPERTIES FIXTURES_CLEANUP net_server_process TIMEOUT 30)

  tds_add_helper(trust_test_ca SOURCES ${CMAKE_SOURCE_DIR}/tests/servers/trust_test_ca.cpp
                 LIBS crypt32)
  add_test(NAME net_servers_trust_ca COMMAND trust_test_ca add ${TDS_NET_SERVER_DIR}/ca.cer
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(net_servers_trust_ca PROPERTIES FIXTURES_SETUP net_servers
                       FIXTURES_REQUIRED net_server_process TIMEOUT 60)
  add_test(NAME net_servers_untrust_ca COMMAND trust_test_ca remove ${TDS_NET_SERVER_DIR}/ca.cer
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(net_servers_untrust_ca PROPERTIES FIXTURES_CLEANUP net_servers
                       FIXTURES_REQUIRED net_server_process TIMEOUT 60)
endif()
