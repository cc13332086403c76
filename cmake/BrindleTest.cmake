# brindle_add_test(NAME SOURCES a_test.cpp ... LIBS lib ...)
# One GoogleTest executable per unit, registered with CTest test by test.
function(brindle_add_test name)
  if(NOT BRINDLE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    BRINDLE_TESTDATA_DIR="${BRINDLE_TESTDATA_DIR}"
    BRINDLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1;UBSAN_OPTIONS=print_stacktrace=1")
endfunction()
