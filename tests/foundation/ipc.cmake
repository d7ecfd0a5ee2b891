# Threads, locks, conditionals, the timer, shared memory and child processes.
if(WIN32)
  tds_add_test(foundation_ipc_thread_test SOURCES ipc_thread_test.cpp LIBS foundation test_common)
  tds_add_test(foundation_ipc_timer_test SOURCES ipc_timer_test.cpp LIBS foundation test_common
               NO_GTEST_MAIN)
endif()
