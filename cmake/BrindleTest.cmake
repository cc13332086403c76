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
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) every start costs: one CTest test per
    # executable, which runs all of its tests.
    add_test(NAME ${name} COMMAND ${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1")
  endif()
endfunction()

# brindle_expose_headers(LIB FOLDER)
# The headers LIB offers its users: src/FOLDER/*.h and those of its own
# subfolders, but never a ui/ or testing/ subfolder, which are other targets.
# They are linked into an include folder of LIB's own, so that a target sees
# exactly the headers of the targets it links: a core folder that includes a
# ui/ header, a higher core folder's header or the window's fails to compile.
function(brindle_expose_headers lib folder)
  set(root ${CMAKE_BINARY_DIR}/include/${lib})
  set(src ${CMAKE_SOURCE_DIR}/src)
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${src} ${src}/${folder}/*.h)
  # ui/ and testing/ folders are libraries of their own; detail/ folders are
  # the folder's internals, staged apart (brindle_private_headers).
  list(FILTER headers EXCLUDE REGEX "^${folder}/(.*/)?(ui|testing|detail)/")
  file(REMOVE_RECURSE ${root})
  foreach(header ${headers})
    get_filename_component(dir ${root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${src}/${header} ${root}/${header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  target_include_directories(${lib} PUBLIC ${root})
endfunction()

# brindle_private_headers(LIB FOLDER)
# The headers of FOLDER/detail/, staged where only LIB itself (and what links
# LIB_detail: its tests, fuzzers) finds them; other libraries cannot include
# them, so a folder's internals stay its own.
function(brindle_private_headers lib folder)
  set(root ${CMAKE_BINARY_DIR}/include/${lib}_detail)
  set(src ${CMAKE_SOURCE_DIR}/src)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${src} ${src}/${folder}/detail/*.h)
  file(REMOVE_RECURSE ${root})
  foreach(header ${headers})
    get_filename_component(dir ${root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${src}/${header} ${root}/${header} SYMBOLIC COPY_ON_ERROR)
  endforeach()
  target_include_directories(${lib} PRIVATE ${root})
  add_library(${lib}_detail INTERFACE)
  target_include_directories(${lib}_detail INTERFACE ${root})
  target_link_libraries(${lib}_detail INTERFACE ${lib})
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
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  brindle_expose_headers(${lib} ${folder})
  target_link_libraries(${lib} PUBLIC ${F_LIBS})
  brindle_add_test(${testexe} SOURCES ${tests} LIBS ${lib} ${F_TESTLIBS})
endfunction()
