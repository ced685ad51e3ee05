# The 64-bit Windows build that the tests run under wine64, built with MinGW-w64's POSIX-thread compilers.
set(userlens_mingw_arch x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
