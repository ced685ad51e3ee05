# The shipped program: 32-bit Windows, built with MinGW-w64's POSIX-thread compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# Without the compilers, stop before CMake looks at any compiler, so that no empty compiler
# flags are kept in the cache for the configuration after they are installed.
find_program(USERLENS_MINGW_CXX_i686 i686-w64-mingw32-g++-posix)
find_program(USERLENS_MINGW_CC_i686 i686-w64-mingw32-gcc-posix)
if(NOT USERLENS_MINGW_CXX_i686 OR NOT USERLENS_MINGW_CC_i686)
  message(FATAL_ERROR "The Windows build needs MinGW-w64's POSIX-thread compilers for i686. "
                      "On Debian: sudo apt-get install g++-mingw-w64-i686-posix binutils-mingw-w64-i686")
endif()
set(CMAKE_C_COMPILER ${USERLENS_MINGW_CC_i686})
set(CMAKE_CXX_COMPILER ${USERLENS_MINGW_CXX_i686})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
