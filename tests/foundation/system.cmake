if(WIN32)
  tds_add_test(foundation_system_test SOURCES system_test.cpp LIBS foundation test_common)
  tds_add_helper(sysinfo_probe SOURCES sysinfo_probe.cpp LIBS foundation)
  tds_add_test(foundation_sysinfo_test SOURCES sys_info_test.cpp LIBS foundation test_common DEPENDS sysinfo_probe)
  tds_add_test(foundation_registry_test SOURCES registry_key_test.cpp LIBS foundation test_common
               RESOURCE_LOCK registry-hklm-software-tdstest)
endif()
