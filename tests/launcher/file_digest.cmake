# File digests with the CryptoAPI, and the country lookup (Policy values in
# the vendor key, the COUNTRY header of the local server).
if(WIN32)
  tds_add_test(launcher_file_digest_test SOURCES file_digest_test.cpp LIBS launcher test_common)
  tds_add_test(launcher_country_test SOURCES get_country_test.cpp LIBS launcher test_common
               RESOURCE_LOCK registry-hklm-tolvasoft registry-tolva-update-policy)
  set_tests_properties(launcher_country_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
endif()
