# The process executor, with the child programs it starts in its tests.
if(WIN32)
  tds_add_helper(tds_cmdlog_helper SOURCES fixtures/cmdlog_helper.cpp)
  tds_add_helper(tds_link_shell_helper SOURCES fixtures/link_shell_helper.cpp LIBS ole32 uuid)
  tds_add_test(foundation_executor_test SOURCES executor_test.cpp LIBS foundation test_common
               DEPENDS tds_cmdlog_helper tds_link_shell_helper)
endif()
