if(WIN32)
  tds_add_test(logger_test SOURCES logger_test.cpp LIBS foundation test_common NO_GTEST_MAIN)
endif()
