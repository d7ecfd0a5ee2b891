if(WIN32)
  # The post-install flow over scripted panes, with the stand-in deployment
  # library of tests/foundation as the runtime's and the real vendor key.
  tds_add_test(launcher_security_prompts_test SOURCES security_prompts_test.cpp
               LIBS launcher test_common
               DEPENDS stager_double runtime_library_double
               RESOURCE_LOCK registry-hklm-tolvasoft)
  # Wine prefers its own msvcr100.dll even to a copy loaded by full path.
  set_tests_properties(launcher_security_prompts_test PROPERTIES
    ENVIRONMENT "WINEDLLOVERRIDES=msvcr100=n,b")

  # The three pages: their rules, and each page opened under Xvfb and closed
  # by a driver thread.
  tds_add_test(launcher_post_install_panes_test SOURCES post_install_panes_test.cpp
               LIBS launcher test_common
               SCREEN)
endif()
