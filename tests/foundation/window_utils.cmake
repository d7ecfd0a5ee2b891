# Window, shell and registry-view utilities, with GUI programs that close
# on WM_CLOSE or ignore it.
if(WIN32)
  tds_add_helper(tds_window_helper SOURCES fixtures/window_helper.cpp GUI)
  tds_add_test(foundation_window_utils_test SOURCES window_utils_test.cpp LIBS foundation test_common
               DEPENDS tds_window_helper SCREEN RESOURCE_LOCK user-shell-folders)
endif()
