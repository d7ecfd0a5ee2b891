# The install command lines, the auto-update install and the end of a run.
if(WIN32)
  tds_add_test(launcher_run_test SOURCES launcher_run_test.cpp LIBS launcher test_common
               DEPENDS launcher_lock_helper
               RESOURCE_LOCK registry-hklm-tolvasoft registry-tolva-update-policy installation-flag
                             user-shell-folders)
  tds_add_test(launcher_command_lines_test SOURCES install_command_lines_test.cpp LIBS launcher test_common)
  tds_add_test(launcher_auto_update_test SOURCES auto_update_install_test.cpp auto_update_carrier.rc
               LIBS launcher test_common DEPENDS fake_msiexec cmdline_logger
               RESOURCE_LOCK registry-hklm-installer registry-hklm-tolvasoft registry-tolva-update-policy
                             auto-update-files user-shell-folders)
  target_include_directories(launcher_auto_update_test PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  tds_use_sample_packages(launcher_auto_update_test ${CMAKE_CURRENT_SOURCE_DIR}/auto_update_carrier.rc)
endif()
