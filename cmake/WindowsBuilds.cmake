# From a Linux build: build the two Windows programs with MinGW-w64 as sub-builds, and test the
# 64-bit one under wine64 (this kernel cannot run 32-bit code; the 32-bit program is built and
# its PE headers are checked). Without the tools the Windows tests are reported as skipped.
include(ExternalProject)

find_program(USERLENS_MINGW_I686 i686-w64-mingw32-g++-posix)
find_program(USERLENS_MINGW_X86_64 x86_64-w64-mingw32-g++-posix)
find_program(USERLENS_OBJDUMP_I686 i686-w64-mingw32-objdump)
find_program(USERLENS_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(USERLENS_WINE64 wine64)

set(USERLENS_WINDOWS_TESTS windows.front_door windows.i686.pe windows.x86_64.api
                           windows.x86_64.program)

if(NOT USERLENS_MINGW_I686 OR NOT USERLENS_MINGW_X86_64 OR NOT USERLENS_OBJDUMP_I686)
  userlens_skip_tests("MinGW-w64 is not installed: apt-get install g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686"
                      ${USERLENS_WINDOWS_TESTS} windows.contract)
  return()
endif()

foreach(arch i686 x86_64)
  ExternalProject_Add(windows-${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/windows-${arch}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${arch}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DUSERLENS_TESTS=ON
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
endforeach()

set(USERLENS_WIN32_EXE ${CMAKE_BINARY_DIR}/windows-i686/src/USERLENS.exe)
set(USERLENS_WIN64_DIR ${CMAKE_BINARY_DIR}/windows-x86_64)

add_test(NAME windows.front_door COMMAND ${PROJECT_SOURCE_DIR}/tests/windows/front_door.sh
                                        ${PROJECT_SOURCE_DIR})
add_test(NAME windows.i686.pe
  COMMAND ${PROJECT_SOURCE_DIR}/tests/windows/check_pe.sh ${USERLENS_OBJDUMP_I686} ${USERLENS_WIN32_EXE})

if(NOT USERLENS_WINE64)
  userlens_skip_tests("wine64 is not installed: apt-get install wine64"
                      windows.x86_64.api windows.x86_64.program windows.contract)
  return()
endif()

# Wine needs a prefix of its own; the first start creates it, once, before the Windows tests.
# Nothing of Wine's goes outside the build folder: its temporary folders go into one of ours
# (TMPDIR, else a folder in /tmp each time a prefix is made), and its menu builder stays off
# (it would write menu entries and file types into $HOME).
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/wine-tmp)
set(USERLENS_WINE_ENV
    WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    TMPDIR=${CMAKE_BINARY_DIR}/wine-tmp
    WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d)
add_test(NAME windows.wineprefix
  COMMAND ${CMAKE_COMMAND} -E env ${USERLENS_WINE_ENV} ${USERLENS_WINE64} cmd.exe /c exit 0)
set_tests_properties(windows.wineprefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)

add_test(NAME windows.x86_64.api
  COMMAND ${CMAKE_COMMAND} -E env ${USERLENS_WINE_ENV}
          ${USERLENS_WINE64} ${USERLENS_WIN64_DIR}/tests/windows/userlens_wintests.exe)
add_test(NAME windows.x86_64.program
  COMMAND ${CMAKE_COMMAND} -E env ${USERLENS_WINE_ENV}
          ${PROJECT_SOURCE_DIR}/tests/windows/program_under_wine.sh ${USERLENS_WINE64}
          ${USERLENS_WIN64_DIR}/src/USERLENS.exe $<TARGET_FILE:userlens>)
set_tests_properties(windows.x86_64.api windows.x86_64.program
  PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300 RESOURCE_LOCK wine)

# The contract tables against the real API: the list of rows comes from the Linux contract
# program, which holds the same tables.
set(USERLENS_CONTRACT_WINE_TESTS ${CMAKE_BINARY_DIR}/windows_contract_tests.cmake)
string(JOIN " " USERLENS_WINE_COMMAND ${CMAKE_COMMAND} -E env ${USERLENS_WINE_ENV} ${USERLENS_WINE64}
       ${USERLENS_WIN64_DIR}/tests/windows/userlens_contract_tests.exe)
file(GENERATE OUTPUT ${USERLENS_CONTRACT_WINE_TESTS}
     CONTENT "cmake_policy(VERSION 3.25)
set(CONTRACT_LIST [[${CMAKE_BINARY_DIR}/tests/contract/contract_list.tsv]])
set(CONTRACT_SIDE wine)
set(CONTRACT_PREFIX windows.contract)
separate_arguments(CONTRACT_COMMAND UNIX_COMMAND [[${USERLENS_WINE_COMMAND}]])
set(CONTRACT_RUNNER [[${PROJECT_SOURCE_DIR}/tests/contract/run_redirected.sh]])
include([[${PROJECT_SOURCE_DIR}/tests/contract/AddContractTests.cmake]])
")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${USERLENS_CONTRACT_WINE_TESTS})
