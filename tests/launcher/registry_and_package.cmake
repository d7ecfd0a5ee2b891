# Registry bookkeeping and package writing.
if(WIN32)
  # A carrier program whose resources (type TOLVA_INSTALLER) hold payloads
  # of 0, 8192, 8193 and 100000 bytes, generated at build time.
  set(carrier_dir ${CMAKE_CURRENT_BINARY_DIR}/carrier)
  set(carrier_rc ${carrier_dir}/carrier.rc)
  add_custom_command(OUTPUT ${carrier_rc}
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/make_payloads.py ${carrier_dir}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/make_payloads.py
    COMMENT "Generating resource payloads")
  add_executable(tds_resource_carrier fixtures/carrier.cpp ${carrier_rc})
  tds_add_helper(tds_extract_driver SOURCES fixtures/extract_driver.cpp LIBS launcher)

  tds_add_test(launcher_registry_test SOURCES registry_bookkeeping_test.cpp default_browser_test.cpp
               LIBS launcher test_common
               RESOURCE_LOCK registry-hklm-tolvasoft registry-hklm-kessametrics registry-hkcu-tolvasoft
                             registry-http-association registry-hkcu-runonce)
  tds_add_test(launcher_msi_package_test SOURCES msi_package_test.cpp LIBS launcher test_common
               DEPENDS tds_resource_carrier tds_extract_driver tds_cmdlog_helper
               SCREEN RESOURCE_LOCK registry-hklm-tolvasoft registry-tolva-update-policy registry-hklm-installer
                            user-shell-folders)
endif()
