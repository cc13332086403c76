# Cross-building the core and brindle-cli for 64-bit Windows with Debian's
# MinGW-w64 (g++-mingw-w64-x86-64, libz-mingw-w64-dev):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix flavour of the compiler: the win32 flavour of GCC 12 has no
# std::thread. The programs run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRINDLE_MINGW_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${BRINDLE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program runs alone: the C++ runtime, libgcc and winpthreads are
# linked in, not looked for as DLLs beside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

find_program(BRINDLE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(BRINDLE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BRINDLE_WINE})
endif()

# pkg-config looks at the target's libraries only (there is no libdeflate
# for MinGW in Debian; ZSAV then inflates through zlib).
set(ENV{PKG_CONFIG_LIBDIR} ${CMAKE_FIND_ROOT_PATH}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
