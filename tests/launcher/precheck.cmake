# The installation lock and the same-version pre-checks.
if(WIN32)
  tds_add_helper(launcher_lock_helper SOURCES lock_helper.cpp LIBS launcher)
  tds_add_test(launcher_installation_lock_test SOURCES installation_lock_test.cpp
               LIBS launcher test_common DEPENDS launcher_lock_helper
               RESOURCE_LOCK installation-flag user-shell-folders)
  tds_add_test(launcher_reinstall_check_test SOURCES reinstall_check_test.cpp
               LIBS launcher test_common DEPENDS scrub_msiexec
               RESOURCE_LOCK registry-hklm-tolvasoft machine-install registry-hklm-installer
               registry-hklm-tolvasoft)
endif()
