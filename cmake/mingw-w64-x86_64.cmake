# Cross-compiles the same sources as x86-64 Windows programs, for machines whose kernel cannot run
# 32-bit code: there Wine runs only 64-bit programs, and the tests run on this build instead.
set(BRANTEL_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
