# brindle_add_test(NAME SOURCES a_test.cpp ... LIBS lib ...)
# One GoogleTest executable per unit, registered with CTest test by test.
function(brindle_add_test name)
  if(NOT BRINDLE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    BRINDLE_TESTDATA_DIR="${BRINDLE_TESTDATA_DIR}"
    BRINDLE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1")
endfunction()

# brindle_core_folder(LIB TEST_EXE LIBS ...)
# A core folder: every .cpp that is not a test makes the library LIB, every
# *_test.cpp the test executable TEST_EXE. New files need no CMake edit.
function(brindle_core_folder lib testexe)
  cmake_parse_arguments(F "" "" "LIBS;TESTLIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(tests)
    list(REMOVE_ITEM srcs ${tests})
  endif()
  add_library(${lib} STATIC ${srcs})
  target_include_directories(${lib} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${lib} PUBLIC ${F_LIBS})
  brindle_add_test(${testexe} SOURCES ${tests} LIBS ${lib} ${F_TESTLIBS})
endfunction()
