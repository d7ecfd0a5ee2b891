# The HTTP client and the connectivity test against the local test server.
if(WIN32)
  tds_add_test(http_connection_test SOURCES http_connection_test.cpp
               LIBS foundation test_common DEPENDS trust_test_ca)
  set_tests_properties(http_connection_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
endif()
