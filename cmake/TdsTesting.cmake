# Test helpers: GoogleTest built from the Debian sources for the target, and
# tds_add_test() to declare one test program that CTest runs (under Wine when
# cross-compiling, through CMAKE_CROSSCOMPILING_EMULATOR).
include(CTest)

if(BUILD_TESTING AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

set(TDS_MANIFEST_RC ${CMAKE_SOURCE_DIR}/resources/manifest/app_manifest.rc)

# tds_add_test(<name> SOURCES ... [LIBS ...] [RESOURCE_LOCK ...]
#              [TIMEOUT s] [DEPENDS targets...] [NO_GTEST_MAIN])
# Declares an executable and a CTest test of the same name. Test programs carry
# the launchers' manifest, so the system reports to them what it reports to
# the launchers. DEPENDS names helper programs the test starts; they are built
# into the same bin folder and found beside the test program.
function(tds_add_test name)
  cmake_parse_arguments(T "NO_GTEST_MAIN" "TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK;DEPENDS;LABELS" ${ARGN})
  set(srcs ${T_SOURCES})
  if(WIN32)
    list(APPEND srcs ${TDS_MANIFEST_RC})
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(T_NO_GTEST_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# tds_add_helper(<name> SOURCES ... [LIBS ...] [GUI]): a program that tests
# start (a test double or a fixture process), built into the bin folder.
function(tds_add_helper name)
  cmake_parse_arguments(H "GUI" "" "SOURCES;LIBS" ${ARGN})
  if(H_GUI)
    add_executable(${name} WIN32 ${H_SOURCES} ${TDS_MANIFEST_RC})
  else()
    add_executable(${name} ${H_SOURCES} ${TDS_MANIFEST_RC})
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${H_LIBS})
endfunction()
