# Tests of what ships: the install tree, the Linux packages (lintian among them) and the manual
# page; and, from the Windows sub-builds of cmake/WindowsBuilds.cmake, the version resource and
# the manifest of both Windows programs and the ZIP. The reproducibility tests build the program
# and its packages twice more, in folders of their own, and compare the bytes. Without MinGW-w64
# the Windows ones are reported as skipped.
if(WIN32 OR CMAKE_CROSSCOMPILING OR NOT USERLENS_TESTS)
  return()
endif()

set(USERLENS_PACKAGING_SCRIPTS ${PROJECT_SOURCE_DIR}/tests/packaging)
set(USERLENS_PACKAGING_WORK ${CMAKE_BINARY_DIR}/packaging-tests)

add_test(NAME packaging.manpage
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_manpage.sh ${PROJECT_SOURCE_DIR}/docs/userlens.1
          $<TARGET_FILE:userlens>)
add_test(NAME packaging.install
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_install.sh ${CMAKE_BINARY_DIR}
          ${USERLENS_PACKAGING_WORK}/install ${PROJECT_SOURCE_DIR})
add_test(NAME packaging.linux.packages
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_packages.sh ${CMAKE_BINARY_DIR}
          ${USERLENS_PACKAGING_WORK}/linux ${PROJECT_VERSION})
add_test(NAME packaging.linux.lintian
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_lintian.sh ${CMAKE_BINARY_DIR}
          ${USERLENS_PACKAGING_WORK}/lintian)
set_tests_properties(packaging.manpage packaging.install packaging.linux.packages
                     packaging.linux.lintian
  PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# Two builds of the program each, with -j2: one at a time.
set(USERLENS_REPRODUCIBLE_PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 1200 PROCESSORS 2 RESOURCE_LOCK packaging-rebuilds)
if(CMAKE_BUILD_TYPE)
  set(build_type ${CMAKE_BUILD_TYPE})
else()
  set(build_type RelWithDebInfo)
endif()
add_test(NAME packaging.linux.reproducible
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_reproducible.sh ${PROJECT_SOURCE_DIR}
          ${USERLENS_PACKAGING_WORK}/reproducible-linux linux ${build_type} ${CMAKE_GENERATOR})
set_tests_properties(packaging.linux.reproducible PROPERTIES ${USERLENS_REPRODUCIBLE_PROPERTIES})

set(USERLENS_PACKAGING_WINDOWS_TESTS
  packaging.windows.i686.resources packaging.windows.x86_64.resources packaging.windows.zip
  packaging.windows.i686.reproducible)
if(NOT TARGET windows-i686 OR NOT TARGET windows-x86_64)
  if(NOT USERLENS_WINDOWS_BUILDS)
    set(reason "the Windows sub-builds are switched off (USERLENS_WINDOWS_BUILDS)")
  else()
    set(reason "MinGW-w64 is not installed: apt-get install g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686")
  endif()
  userlens_skip_tests("${reason}" ${USERLENS_PACKAGING_WINDOWS_TESTS})
  return()
endif()

foreach(arch i686 x86_64)
  add_test(NAME packaging.windows.${arch}.resources COMMAND userlens_resource_tests)
  set_tests_properties(packaging.windows.${arch}.resources PROPERTIES ENVIRONMENT
    "USERLENS_WINDOWS_PROGRAM=${CMAKE_BINARY_DIR}/windows-${arch}/src/USERLENS.exe;USERLENS_LINUX_PROGRAM=$<TARGET_FILE:userlens>;USERLENS_VERSION=${PROJECT_VERSION}")
endforeach()

add_test(NAME packaging.windows.zip
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_zip.sh ${CMAKE_BINARY_DIR}/windows-i686
          ${USERLENS_PACKAGING_WORK}/zip ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR}
          ${USERLENS_OBJDUMP_I686} $<TARGET_FILE:userlens_resource_tests> $<TARGET_FILE:userlens>)
set_tests_properties(packaging.windows.zip PROPERTIES TIMEOUT 300)

# The shipped Windows program, built as the sub-build builds it (Release).
add_test(NAME packaging.windows.i686.reproducible
  COMMAND ${USERLENS_PACKAGING_SCRIPTS}/check_reproducible.sh ${PROJECT_SOURCE_DIR}
          ${USERLENS_PACKAGING_WORK}/reproducible-windows-i686 windows-i686 Release
          ${CMAKE_GENERATOR})
set_tests_properties(packaging.windows.i686.reproducible
  PROPERTIES ${USERLENS_REPRODUCIBLE_PROPERTIES})
