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

# The machine-wide state that test programs share, one CTest resource lock
# each: a test that changes or depends on one of these names it, so `ctest -j`
# never runs two of them at once. Everything else a test touches is its own
# (its temporary folder, its log, keys and files named after the process).
set(TDS_TEST_LOCKS
  # The one screen: every test that shows a window, reads pixels, sets or
  # checks the focus or the foreground window, or shows a box or a modal page.
  # Taken with the SCREEN option, which also labels the test "screen".
  screen
  # HKLM\SOFTWARE\TolvaSoft (both views), HKCU\SOFTWARE\TolvaSoft, each with
  # the keys under it (the updater's and its policy among them).
  registry-hklm-tolvasoft registry-hkcu-tolvasoft
  # The launcher's retry entry "TolvaInstallRetry" under HKCU ...\RunOnce,
  # which the tests of the ping write and every launcher run reads.
  registry-hkcu-runonce
  # The metrics counters; the updater's policy key (HKLM and HKCU
  # ...\TolvaSoft\Tolva Update\Policy), which tests that write it name besides
  # the vendor key.
  registry-hklm-kessametrics registry-tolva-update-policy
  # HKLM ...\Installer (InstallerLocation pointed at a double).
  registry-hklm-installer
  # Browser registration: Clients\StartMenuInternet, htmlfile's open command,
  # App Paths, the Mozilla key.
  registry-hklm-clients registry-hklm-classes-html registry-hklm-app-paths registry-hklm-mozilla
  # The http protocol association of the user (default browser tests).
  registry-http-association
  # The stand-in web browser control registered for the prefix in HKLM.
  browser_standin
  # The runtime settings file under the common application data folder.
  runtime-settings-file
  # The installation lock file that both launchers hold.
  installation-flag
  # The user's shell folders (LocalLow), which the fault tests move, and the
  # package, updater and image files the launchers write under them (the
  # progress page opens the welcome image there, so every test that shows it
  # takes this lock too).
  user-shell-folders
  # The kit's package folder and cabinet files, and its cabinet event.
  kit-package-files
  # Windows Installer runs of the real packages (one machine-wide install
  # state), and the updater's files and registration tool log.
  machine-install auto-update-files
  # The named operation record and start event of the progress window, which
  # the sample runtime's progress action writes in every real install too.
  operation-record
  # The temporary shell link that starts programs as the desktop user.
  desktop-user-shortcut
  # Browser processes started or closed by name, and the stand-in browsers'
  # logs beside them in fake-browsers/.
  browser-processes
  # The deployment rule-set file under the Windows folder.
  deployment-rule-set
  # The pictures of every page in page_shots/.
  page-shots)

# tds_set_test_locks(<test> [SCREEN] [locks...]): the resource locks of a
# CTest test, each checked against TDS_TEST_LOCKS.
function(tds_set_test_locks test)
  cmake_parse_arguments(L "SCREEN" "" "" ${ARGN})
  set(locks ${L_UNPARSED_ARGUMENTS})
  if(L_SCREEN)
    list(APPEND locks screen)
    set_property(TEST ${test} APPEND PROPERTY LABELS screen)
  endif()
  list(REMOVE_DUPLICATES locks)
  foreach(lock ${locks})
    if(NOT lock IN_LIST TDS_TEST_LOCKS)
      message(FATAL_ERROR "${test}: unknown resource lock \"${lock}\" (known: ${TDS_TEST_LOCKS})")
    endif()
  endforeach()
  if(locks)
    set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK ${locks})
  endif()
endfunction()

# tds_add_test_command(<test> <program target> <timeout s>): a CTest test that
# runs the program through cmake/run_test.sh: the program's output goes to a
# file, printed when it ends, so a process it started that outlives it cannot
# hold CTest's output pipe open; a program still running a few seconds before
# the CTest time-out is ended there, with its output.
function(tds_add_test_command test target timeout)
  math(EXPR inner "${timeout} - 5")
  add_test(NAME ${test}
           COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/run_test.sh ${inner}
                   ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(${test} PROPERTIES TIMEOUT ${timeout})
endfunction()

# tds_add_test(<name> SOURCES ... [LIBS ...] [RESOURCE_LOCK ...] [SCREEN]
#              [TIMEOUT s] [DEPENDS targets...] [NO_GTEST_MAIN] [LABELS ...])
# Declares an executable and a CTest test of the same name. Test programs carry
# the launchers' manifest, so the system reports to them what it reports to
# the launchers. Under Wine every test program gets a temporary folder of its
# own before its first test (tests/common/test_process.h): the shared main
# does it, and a program with its own main (NO_GTEST_MAIN) calls
# testutil::isolateTestProcess() first. SCREEN takes the screen lock.
# DEPENDS names helper programs the test starts; they are built into the same
# bin folder and found beside the test program.
function(tds_add_test name)
  cmake_parse_arguments(T "NO_GTEST_MAIN;SCREEN" "TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK;DEPENDS;LABELS" ${ARGN})
  set(srcs ${T_SOURCES})
  if(WIN32)
    list(APPEND srcs ${TDS_MANIFEST_RC})
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${T_LIBS} test_process GTest::gtest GTest::gmock)
    if(NOT T_NO_GTEST_MAIN)
      target_link_libraries(${name} PRIVATE test_main)
    endif()
  elseif(T_NO_GTEST_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  endif()
  if(T_DEPENDS)
    add_dependencies(${name} ${T_DEPENDS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  tds_add_test_command(${name} ${name} ${T_TIMEOUT})
  if(T_SCREEN)
    tds_set_test_locks(${name} SCREEN ${T_RESOURCE_LOCK})
  else()
    tds_set_test_locks(${name} ${T_RESOURCE_LOCK})
  endif()
  if(T_LABELS)
    set_property(TEST ${name} APPEND PROPERTY LABELS ${T_LABELS})
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
