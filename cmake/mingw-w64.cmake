# MinGW-w64's POSIX-thread compilers for Windows on userlens_mingw_arch (i686 or x86_64), which the
# toolchain file that includes this one sets.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${userlens_mingw_arch})
# Without the compilers, stop before CMake looks at any compiler, so that no empty compiler
# flags are kept in the cache for the configuration after they are installed.
set(userlens_mingw_prefix ${userlens_mingw_arch}-w64-mingw32)
find_program(USERLENS_MINGW_CXX_${userlens_mingw_arch} ${userlens_mingw_prefix}-g++-posix)
find_program(USERLENS_MINGW_CC_${userlens_mingw_arch} ${userlens_mingw_prefix}-gcc-posix)
if(NOT USERLENS_MINGW_CXX_${userlens_mingw_arch} OR NOT USERLENS_MINGW_CC_${userlens_mingw_arch})
  # Debian's package names write x86_64 as x86-64.
  string(REPLACE "_" "-" userlens_mingw_package ${userlens_mingw_arch})
  message(FATAL_ERROR "The Windows build needs MinGW-w64's POSIX-thread compilers for ${userlens_mingw_arch}. "
                      "On Debian: sudo apt-get install g++-mingw-w64-${userlens_mingw_package}-posix binutils-mingw-w64-${userlens_mingw_package}")
endif()
set(CMAKE_C_COMPILER ${USERLENS_MINGW_CC_${userlens_mingw_arch}})
set(CMAKE_CXX_COMPILER ${USERLENS_MINGW_CXX_${userlens_mingw_arch}})
set(CMAKE_RC_COMPILER ${userlens_mingw_prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${userlens_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
