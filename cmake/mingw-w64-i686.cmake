# The shipped program: 32-bit Windows, built with MinGW-w64's POSIX-thread compilers.
set(userlens_mingw_arch i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
