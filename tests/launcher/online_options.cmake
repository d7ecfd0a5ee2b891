if(WIN32)
  tds_add_test(launcher_options_parse_test SOURCES options_parse_test.cpp LIBS launcher test_common)

  # The test program carries the welcome image and, as string 4008, its digest.
  set(welcome_image ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/welcome_image.jpg)
  file(SHA256 ${welcome_image} welcome_digest)
  configure_file(fixtures/welcome_digest.rc.in ${CMAKE_CURRENT_BINARY_DIR}/welcome_digest.rc @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${welcome_image})
  tds_add_test(launcher_online_options_test
               SOURCES online_options_test.cpp ${CMAKE_CURRENT_BINARY_DIR}/welcome_digest.rc
               LIBS launcher test_common
               RESOURCE_LOCK registry-hklm-tolvasoft registry-tolva-update-policy user-shell-folders)
  set_tests_properties(launcher_online_options_test PROPERTIES
                       FIXTURES_REQUIRED "net_servers;net_server_process")
endif()
