# Cross-compiles 32-bit Windows programs with the mingw-w64 win32-thread-model compilers.
# The posix thread model would link winpthreads, which imports functions Windows XP lacks.
# (cmake/mingw-w64-x86_64.cmake reuses this file for the x86-64 build of the same sources.)
if(NOT BRANTEL_MINGW_ARCH)
  set(BRANTEL_MINGW_ARCH i686)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${BRANTEL_MINGW_ARCH})

set(CMAKE_C_COMPILER ${BRANTEL_MINGW_ARCH}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${BRANTEL_MINGW_ARCH}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${BRANTEL_MINGW_ARCH}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${BRANTEL_MINGW_ARCH}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CTest runs every test program under Wine, inside the test run's own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run")
