if(WIN32)
  tds_add_test(launcher_ping_document_test SOURCES ping_document_test.cpp LIBS launcher test_common)
  tds_add_test(launcher_ping_post_test SOURCES ping_post_test.cpp LIBS launcher test_common)
  set_tests_properties(launcher_ping_post_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
endif()
