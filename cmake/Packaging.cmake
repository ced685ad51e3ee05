# Install rules and packages.
#   Linux:   bin/userlens, share/man/man1/userlens.1.gz, share/doc/userlens/{README.md,LICENSE};
#            `cpack` makes a .deb and a .tar.gz.
#   Windows: USERLENS.EXE, README.md and LICENSE.txt side by side; `cpack` makes a ZIP.
include(GNUInstallDirs)

set(USERLENS_DOC_FILES ${PROJECT_SOURCE_DIR}/README.md)

if(WIN32)
  # Installed as a target, so that `--strip` and CPack strip it, then given the original file
  # name that its version resource states.
  install(TARGETS userlens RUNTIME DESTINATION .)
  install(CODE "file(RENAME \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/$<TARGET_FILE_NAME:userlens>\"
                     \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/USERLENS.EXE\")")
  install(FILES ${USERLENS_DOC_FILES} DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
else()
  install(TARGETS userlens RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Manual pages are installed compressed, as Debian wants them. The page is compressed when the
  # program is built, so that installing right after `--target userlens` finds it.
  set(USERLENS_MANPAGE ${PROJECT_SOURCE_DIR}/docs/userlens.1)
  set(USERLENS_MANPAGE_GZ ${CMAKE_CURRENT_BINARY_DIR}/docs/userlens.1.gz)
  add_custom_command(OUTPUT ${USERLENS_MANPAGE_GZ}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${USERLENS_MANPAGE} -DOUTPUT=${USERLENS_MANPAGE_GZ}
            -P ${PROJECT_SOURCE_DIR}/packaging/gzip.cmake
    DEPENDS ${USERLENS_MANPAGE} ${PROJECT_SOURCE_DIR}/packaging/gzip.cmake
    COMMENT "Compressing the manual page"
    VERBATIM)
  add_custom_target(userlens_manpage ALL DEPENDS ${USERLENS_MANPAGE_GZ})
  add_dependencies(userlens userlens_manpage)
  install(FILES ${USERLENS_MANPAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  install(FILES ${USERLENS_DOC_FILES} ${PROJECT_SOURCE_DIR}/LICENSE
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/userlens)
endif()

set(CPACK_PACKAGE_NAME userlens)
set(CPACK_PACKAGE_VENDOR Quornvale)
set(CPACK_PACKAGE_CONTACT "Quornvale <dev@quornvale.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://quornvale.example/userlens)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prints what a user account is")
# Wrapped by hand: the .deb's long description keeps these line breaks.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Userlens prints the stored record of a user account, its groups with their"
  "SIDs, the privileges the running process holds and the process environment,"
  "or the table of the computer's local accounts. On Linux it reads the host's"
  "own account database and shows it the way a Windows administrator would.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/out/")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
  set(CPACK_GENERATOR ZIP)
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
  set(CPACK_GENERATOR "DEB;TGZ")

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The package's dependencies come from the libraries the program links; without dpkg-dev's
  # dpkg-shlibdeps, the ones a g++ build of this program always needs.
  find_program(USERLENS_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(USERLENS_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})

include(CPack)
