# The 64-bit Windows build that the tests run under wine64, built with MinGW-w64's POSIX-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# Without the compilers, stop before CMake looks at any compiler, so that no empty compiler
# flags are kept in the cache for the configuration after they are installed.
find_program(USERLENS_MINGW_CXX_x86_64 x86_64-w64-mingw32-g++-posix)
find_program(USERLENS_MINGW_CC_x86_64 x86_64-w64-mingw32-gcc-posix)
if(NOT USERLENS_MINGW_CXX_x86_64 OR NOT USERLENS_MINGW_CC_x86_64)
  message(FATAL_ERROR "The Windows build needs MinGW-w64's POSIX-thread compilers for x86_64. "
                      "On Debian: sudo apt-get install g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64")
endif()
set(CMAKE_C_COMPILER ${USERLENS_MINGW_CC_x86_64})
set(CMAKE_CXX_COMPILER ${USERLENS_MINGW_CXX_x86_64})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
