if(WIN32)
  tds_add_test(foundation_locale_test SOURCES locale_test.cpp LIBS foundation)
endif()
