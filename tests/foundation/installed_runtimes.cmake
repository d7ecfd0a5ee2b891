if(WIN32)
  tds_add_test(foundation_installed_runtimes_test SOURCES installed_runtimes_test.cpp LIBS foundation test_common
               RESOURCE_LOCK tolva-runtime-registry machine-install
               registry-tolva-update-policy)  # those tests wipe the whole vendor key
endif()
