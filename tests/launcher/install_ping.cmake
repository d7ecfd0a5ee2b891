if(WIN32)
  tds_add_test(launcher_ping_document_test SOURCES ping_document_test.cpp LIBS launcher test_common)
endif()
