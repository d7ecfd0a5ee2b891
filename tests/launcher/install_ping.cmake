if(WIN32)
  tds_add_test(launcher_ping_document_test SOURCES ping_document_test.cpp LIBS launcher test_common)
  tds_add_test(launcher_ping_post_test SOURCES ping_post_test.cpp LIBS launcher test_common)
  set_tests_properties(launcher_ping_post_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
  # The whole ping reads and clears the vendor key (with the Policy), the
  # metrics counters and the per-user flags.
  tds_add_test(launcher_install_ping_test SOURCES install_ping_test.cpp LIBS launcher test_common
               RESOURCE_LOCK registry-hklm-tolvasoft registry-hklm-kessametrics registry-hkcu-tolvasoft
                             registry-hkcu-runonce registry-tolva-update-policy)
  set_tests_properties(launcher_install_ping_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
endif()
