# Install rules and packages.
#   Linux:   bin/userlens, share/man/man1/userlens.1.gz,
#            share/doc/userlens/{README.md,LICENSE,copyright,changelog.gz};
#            `cpack` makes a .deb and a .tar.gz.
#   Windows: USERLENS.EXE, README.md and LICENSE.txt side by side; `cpack` makes a ZIP.
# The same commit gives the same packages (see also cmake/Reproducible.cmake).
include(GNUInstallDirs)

set(USERLENS_DOC_FILES ${PROJECT_SOURCE_DIR}/README.md)
# Folders that installing creates are rwxr-xr-x whatever the umask, as packages want them.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# First of all the install rules: the dates that installing and packaging write come from
# SOURCE_DATE_EPOCH, or else from the last commit.
find_package(Git QUIET)
install(CODE "set(USERLENS_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
  set(USERLENS_GIT \"${GIT_EXECUTABLE}\")
  include(\"${PROJECT_SOURCE_DIR}/packaging/source_date_epoch.cmake\")")

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
  # Stripping also drops the compilers' version notes, as Debian's packages do.
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:userlens>\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
  # Every symbol is bound when the program starts, so that the whole GOT is read-only.
  target_link_options(userlens PRIVATE LINKER:-z,relro,-z,now)

  # Manual pages and changelogs are installed compressed, as Debian wants them: with gzip -9n,
  # so that no date gets into them. They are compressed when the program is built, so that
  # installing right after `--target userlens` finds them.
  set(USERLENS_GZIP_FILES "")
  foreach(file docs/userlens.1 packaging/changelog)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${file}.gz)
    add_custom_command(OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${file} -DOUTPUT=${output}
              -P ${PROJECT_SOURCE_DIR}/packaging/gzip.cmake
      DEPENDS ${PROJECT_SOURCE_DIR}/${file} ${PROJECT_SOURCE_DIR}/packaging/gzip.cmake
      COMMENT "Compressing ${file}"
      VERBATIM)
    list(APPEND USERLENS_GZIP_FILES ${output})
  endforeach()
  add_custom_target(userlens_compressed_docs ALL DEPENDS ${USERLENS_GZIP_FILES})
  add_dependencies(userlens userlens_compressed_docs)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/docs/userlens.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  # The documents, with the licence in Debian's machine-readable form too (copyright), and the
  # package's changelog.
  install(FILES ${USERLENS_DOC_FILES} ${PROJECT_SOURCE_DIR}/LICENSE
                ${PROJECT_SOURCE_DIR}/packaging/copyright
                ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
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
# The packages written again where CPack lets the file system, the user, the umask or the time
# zone show through.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/normalize_archives.cmake)
set(CPACK_USERLENS_AR ${CMAKE_AR})
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
  # dpkg-shlibdeps, the C library, the only one a packaged (optimised) build links shared:
  # libstdc++ and libgcc are linked into the program.
  find_program(USERLENS_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(USERLENS_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6")
  endif()
endif()
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME})

include(CPack)
