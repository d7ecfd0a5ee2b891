if(WIN32)
  # The runtime's deployment library and its C runtime, as stand-ins: the
  # tests copy both into the "bin" folder of a runtime home of their own.
  set(tds_deploy_doubles_dir ${CMAKE_BINARY_DIR}/bin/deploy-doubles)
  add_library(runtime_library_double SHARED runtime_library_double.cpp)
  set_target_properties(runtime_library_double PROPERTIES
    OUTPUT_NAME msvcr100 PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${tds_deploy_doubles_dir}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/deploy-doubles-lib)
  add_library(stager_double SHARED stager_double.cpp)
  target_link_libraries(stager_double PRIVATE runtime_library_double)
  target_include_directories(stager_double PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  set_target_properties(stager_double PROPERTIES
    OUTPUT_NAME stager PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${tds_deploy_doubles_dir}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/deploy-doubles-lib)

  tds_add_test(foundation_deploy_lib_loader_test SOURCES deploy_lib_loader_test.cpp
               LIBS foundation test_common
               DEPENDS stager_double runtime_library_double
               RESOURCE_LOCK registry-hklm-tolvasoft)
  # Wine prefers its own msvcr100.dll even to a copy loaded by full path;
  # Windows loads the file it is given, and so does Wine with this override.
  set_tests_properties(foundation_deploy_lib_loader_test PROPERTIES
    ENVIRONMENT "WINEDLLOVERRIDES=msvcr100=n,b")
endif()
