if(WIN32)
  tds_add_helper(browser_probe SOURCES browser_probe.cpp GUI)
  tds_add_test(foundation_browsers_test SOURCES browsers_test.cpp LIBS foundation test_common
               DEPENDS browser_probe
               RESOURCE_LOCK registry-hklm-clients registry-hklm-tolvasoft registry-hklm-classes-html
                             desktop-user-shortcut
               SCREEN)
endif()
