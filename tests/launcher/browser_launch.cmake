if(WIN32)
  # Stand-in browsers under the names the launcher looks for, one folder each.
  set(tds_fake_browsers_dir ${CMAKE_BINARY_DIR}/bin/fake-browsers)
  foreach(browser chrome firefox iexplore)
    tds_add_helper(fake_${browser} SOURCES fake_browser.cpp GUI)
    target_link_options(fake_${browser} PRIVATE -municode)
    set_target_properties(fake_${browser} PROPERTIES
      OUTPUT_NAME ${browser}
      RUNTIME_OUTPUT_DIRECTORY ${tds_fake_browsers_dir}/${browser})
  endforeach()

  tds_add_test(launcher_browser_launch_test SOURCES browser_launch_test.cpp
               LIBS launcher test_common
               DEPENDS fake_chrome fake_firefox fake_iexplore
               RESOURCE_LOCK registry-hklm-tolvasoft registry-hklm-app-paths registry-hklm-mozilla
                             desktop-user-shortcut browser-processes
               SCREEN TIMEOUT 180)
endif()
