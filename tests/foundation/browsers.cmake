if(WIN32)
  tds_add_test(foundation_browsers_test SOURCES browsers_test.cpp LIBS foundation test_common
               RESOURCE_LOCK registry-hklm-clients registry-hklm-tolvasoft registry-hklm-classes-html)
endif()
