if(WIN32)
  # The progress window's worker and state machine, on private records and
  # events; the child-process check starts a stand-in browser.
  tds_add_test(launcher_setup_progress_tracker_test SOURCES setup_progress_tracker_test.cpp
               LIBS launcher test_common
               DEPENDS fake_chrome
               RESOURCE_LOCK browser-processes
               TIMEOUT 120)
endif()
