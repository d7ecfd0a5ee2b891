# The progress model: portable, so under Wine and natively.
tds_add_test(foundation_progress_test SOURCES progress_test.cpp LIBS foundation)
# The operation sequence; the real-writer cases use the fixed record name.
if(WIN32)
  tds_add_test(foundation_operation_sequence_test SOURCES operation_sequence_test.cpp
               LIBS foundation test_common
               RESOURCE_LOCK operation-record
               DEPENDS fake_msiexec sample_progress_action)
  target_compile_definitions(foundation_operation_sequence_test PRIVATE
    TDS_PROGRESS_ACTION_PATH="$<TARGET_FILE:sample_progress_action>")
endif()
