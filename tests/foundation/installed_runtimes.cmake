if(WIN32)
  tds_add_test(foundation_installed_runtimes_test SOURCES installed_runtimes_test.cpp LIBS foundation test_common
               RESOURCE_LOCK tolva-runtime-registry machine-install
               vendor-registry)
endif()
