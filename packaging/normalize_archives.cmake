# Run by CPack after it has made each package (CPACK_POST_BUILD_SCRIPTS), so that the same files
# give the same package bytes wherever, by whomever and with whatever umask they are packaged.
# - .tar.gz and ZIP: CPack writes the entries in the order the file system lists the staged
#   folder, owned by the user who packages, and a ZIP's dates in local time. This writes the
#   archive again from the same staged files: entries sorted by name, owned by root, dated
#   SOURCE_DATE_EPOCH (set by the install rules) in UTC.
# - .deb: CPack sorts the entries and writes root and SOURCE_DATE_EPOCH into them, but gives the
#   three members of the outer ar archive the modes of the files it wrote, which follow the
#   umask. GNU ar in deterministic mode writes them again with mode 644, owner 0 and date 0.
# Takes CPACK_USERLENS_AR, the ar of the build.
if(NOT CPACK_GENERATOR MATCHES "^(DEB|TGZ|ZIP)$")
  return()
endif()
get_filename_component(parent ${CPACK_TEMPORARY_DIRECTORY} DIRECTORY)
get_filename_component(top ${CPACK_TEMPORARY_DIRECTORY} NAME)
set(epoch "$ENV{SOURCE_DATE_EPOCH}")

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(CPACK_GENERATOR STREQUAL "DEB")
    if(NOT CPACK_USERLENS_AR)
      message(WARNING "no ar: the members of ${package} keep the modes of the umask")
      return()
    endif()
    set(members_dir ${CPACK_TOPLEVEL_DIRECTORY}/deb-members)
    file(REMOVE_RECURSE ${members_dir})
    file(MAKE_DIRECTORY ${members_dir})
    execute_process(COMMAND ${CPACK_USERLENS_AR} t ${package}
                    OUTPUT_VARIABLE members OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    string(REPLACE "\n" ";" members "${members}")
    execute_process(COMMAND ${CPACK_USERLENS_AR} x ${package}
                    WORKING_DIRECTORY ${members_dir} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${package})
    execute_process(COMMAND ${CPACK_USERLENS_AR} rcD ${package} ${members}
                    WORKING_DIRECTORY ${members_dir} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${members_dir})
  elseif(CPACK_GENERATOR STREQUAL "TGZ")
    find_program(USERLENS_TAR tar)
    find_program(USERLENS_GZIP gzip)
    if(NOT USERLENS_TAR OR NOT USERLENS_GZIP)
      message(WARNING "tar or gzip not found: ${package} stays as CPack wrote it")
      return()
    endif()
    set(dates "")
    if(epoch)
      set(dates --mtime=@${epoch})
    endif()
    execute_process(
      COMMAND ${USERLENS_TAR} --sort=name --owner=root:0 --group=root:0 --mode=u=rwX,go=rX
              ${dates} --format=gnu -C ${parent} -cf - ${top}
      COMMAND ${USERLENS_GZIP} -9n
      OUTPUT_FILE ${package}
      COMMAND_ERROR_IS_FATAL ANY)
  else()
    # Info-ZIP's zip -X keeps the owner and the Unix dates out; it takes the entries in the
    # order given and writes each file's date, here SOURCE_DATE_EPOCH, in the zone of TZ.
    find_program(USERLENS_ZIP zip)
    if(NOT USERLENS_ZIP)
      message(WARNING "zip not found (Info-ZIP): ${package} stays as CPack wrote it")
      return()
    endif()
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${parent} ${parent}/${top}/*)
    list(SORT files)
    if(epoch)
      execute_process(COMMAND touch --no-dereference -d @${epoch} ${files}
                      WORKING_DIRECTORY ${parent} COMMAND_ERROR_IS_FATAL ANY)
    endif()
    file(REMOVE ${package})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC0
                            ${USERLENS_ZIP} -X -D -9 -q ${package} ${files}
                    WORKING_DIRECTORY ${parent} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
