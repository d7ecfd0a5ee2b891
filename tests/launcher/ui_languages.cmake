# The launchers' resources in every UI language: string tables, dialogs, and
# the two launcher programs that carry them.
if(WIN32 AND TARGET kessa-setup AND TARGET vindel-setup)
  tds_add_test(launcher_ui_languages_test SOURCES ui_languages_test.cpp
               LIBS launcher comctl32
               DEPENDS kessa-setup vindel-setup SCREEN)
endif()

if(WIN32)
  # Every page opened under Xvfb in each language; the pictures go to
  # page_shots/ in the bin folder. Two CTest tests over one program (each
  # half takes under two minutes); they take turns on the screen and with the
  # tests that check which control has the focus or read the screen
  # (a page coming forward takes the focus and covers other windows), and the progress page sets the installer's start event when it
  # closes.
  tds_add_test(launcher_page_languages_test SOURCES page_languages_test.cpp
               LIBS launcher test_common
               SCREEN RESOURCE_LOCK operation-record page-shots user-shell-folders
               TIMEOUT 300)
  set_tests_properties(launcher_page_languages_test PROPERTIES
    ENVIRONMENT "GTEST_FILTER=*SetupPages*")
  tds_add_test_command(launcher_pane_languages_test launcher_page_languages_test 300)
  set_tests_properties(launcher_pane_languages_test PROPERTIES
    ENVIRONMENT "GTEST_FILTER=*PostInstallPanes*")
  tds_set_test_locks(launcher_pane_languages_test SCREEN page-shots)
endif()
