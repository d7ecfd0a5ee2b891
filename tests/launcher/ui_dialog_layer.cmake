# The dialog layer and the image class.
if(WIN32)
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/fixtures/welcome_image.jpg
                 ${CMAKE_BINARY_DIR}/bin/ui_image_fixture.jpg COPYONLY)
  tds_add_test(launcher_ui_dialog_impl_test
               SOURCES dialog_impl_test.cpp dialog_impl_test.rc
               LIBS launcher test_common)
endif()
