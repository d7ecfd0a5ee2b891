if(WIN32)
  tds_add_test(foundation_installed_runtimes_test SOURCES installed_runtimes_test.cpp LIBS foundation test_common
               RESOURCE_LOCK registry-hklm-tolvasoft registry-hklm-tolvasoft machine-install
               registry-hklm-tolvasoft)
endif()
