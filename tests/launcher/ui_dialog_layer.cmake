# The dialog layer and the image class.
if(WIN32)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/fixtures/welcome_image.jpg
                 ${CMAKE_BINARY_DIR}/bin/ui_image_fixture.jpg COPYONLY)
  tds_add_test(launcher_ui_dialog_impl_test
               SOURCES dialog_impl_test.cpp dialog_impl_test.rc
               LIBS launcher test_common)
endif()

# The launcher's pages: the page sequence with scripted answers, and the real
# pages under Xvfb (the welcome page writes InstallStatus on cancel).
if(WIN32)
  tds_add_test(launcher_install_wizard_test SOURCES install_wizard_test.cpp LIBS launcher)
  tds_add_test(launcher_setup_pages_test SOURCES setup_pages_test.cpp
               LIBS launcher test_common
               RESOURCE_LOCK registry-hklm-tolvasoft
               TIMEOUT 180)
endif()
