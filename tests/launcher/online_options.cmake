if(WIN32)
  tds_add_test(launcher_options_parse_test SOURCES options_parse_test.cpp LIBS launcher test_common)
endif()
