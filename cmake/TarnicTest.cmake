# tarnic_add_test(NAME SOURCES src... LIBS lib... [GUI] [TIMEOUT s])
# One executable per test file, registered with CTest. GUI tests run offscreen.
# Every test compiles with the same flags (tarnic_testsupport brings the same
# Qt modules to all), so they share one precompiled header of the Qt headers
# most of them include (TARNIC_TEST_PCH).
function(tarnic_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # One file: nothing to gain from a unity build, and gcc would take the test
  # file for a header (-Wsubobject-linkage on its anonymous namespace).
  set_target_properties(${name} PROPERTIES UNITY_BUILD OFF)
  target_link_libraries(${name} PRIVATE ${T_LIBS} tarnic_testsupport)
  if(TARNIC_TEST_PCH)
    target_precompile_headers(${name} REUSE_FROM tarnic_testsupport)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Each test's programs keep their journal in the build tree, not the home folder.
  set(env "TARNIC_SIM=$<TARGET_FILE:tarnic-sim>;TARNIC_CLI=$<TARGET_FILE:tarnic-cli>;TARNIC_APP=$<TARGET_FILE:tarnic-flash-utility>"
          "XDG_DATA_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}.data")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
endfunction()

# Qt's test module defines the test's source and build folders for
# QFINDTESTDATA, which no test here uses; without them the flags are the same
# in every folder, as a shared precompiled header needs.
if(TARNIC_BUILD_TESTS)
  get_target_property(tarnic_qttest_defs Qt6::Test INTERFACE_COMPILE_DEFINITIONS)
  list(FILTER tarnic_qttest_defs EXCLUDE REGEX "^QT_TESTCASE_")
  set_target_properties(Qt6::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${tarnic_qttest_defs}")
endif()
