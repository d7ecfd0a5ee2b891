# The dialog layer and the image class.
if(WIN32)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/fixtures/welcome_image.jpg
                 ${CMAKE_BINARY_DIR}/bin/ui_image_fixture.jpg COPYONLY)
  tds_add_test(launcher_ui_dialog_impl_test
               SOURCES dialog_impl_test.cpp dialog_impl_test.rc
               LIBS launcher test_common
               SCREEN)
endif()

# The launcher's pages: the page sequence with scripted answers, and the real
# pages under Xvfb (the welcome page writes InstallStatus on cancel).
if(WIN32)
  tds_add_test(launcher_install_wizard_test SOURCES install_wizard_test.cpp LIBS launcher test_common)
  tds_add_test(launcher_setup_pages_test SOURCES setup_pages_test.cpp
               LIBS launcher test_common
               SCREEN RESOURCE_LOCK registry-hklm-tolvasoft
               TIMEOUT 180)
endif()

# Every page with sample data, held up for scripts/screenshots.sh.
if(WIN32)
  tds_add_helper(page_gallery SOURCES page_gallery.cpp GUI LIBS launcher test_common)
  set_target_properties(page_gallery PROPERTIES OUTPUT_NAME page-gallery)
endif()

# Every page for real under Xvfb: focus and Enter, the frame, what the pages
# draw, and each link through a click to the stand-in default browser.
if(WIN32)
  tds_add_test(launcher_page_links_test SOURCES page_links_test.cpp
               LIBS launcher test_common
               DEPENDS fake_chrome
               RESOURCE_LOCK registry-hklm-classes-html desktop-user-shortcut browser-processes user-shell-folders
                             operation-record
               SCREEN
               TIMEOUT 300)
endif()
