if(WIN32)
  tds_add_test(foundation_system_test SOURCES system_test.cpp LIBS foundation test_common)
  tds_add_helper(sysinfo_probe SOURCES sysinfo_probe.cpp LIBS foundation)
  tds_add_test(foundation_sysinfo_test SOURCES sys_info_test.cpp LIBS foundation test_common DEPENDS sysinfo_probe)
  # Its test keys carry the process id: nothing to share.
  tds_add_test(foundation_registry_test SOURCES registry_key_test.cpp LIBS foundation test_common)
endif()
