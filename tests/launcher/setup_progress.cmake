if(WIN32)
  # The progress window's worker and state machine, on private records and
  # events; the child-process check starts a stand-in browser.
  tds_add_test(launcher_setup_progress_tracker_test SOURCES setup_progress_tracker_test.cpp
               LIBS launcher test_common
               DEPENDS fake_chrome
               SCREEN RESOURCE_LOCK browser-processes
               TIMEOUT 120)
endif()

if(WIN32)
  # The real window under Xvfb, driven by the scriptable msiexec through the
  # fixed record and start event.
  tds_add_test(launcher_setup_progress_dialog_test SOURCES setup_progress_dialog_test.cpp
               LIBS launcher test_common
               DEPENDS fake_msiexec
               SCREEN RESOURCE_LOCK operation-record user-shell-folders
               TIMEOUT 120)
endif()
