# Included by the install rules (`cmake --install`, cpack) before anything is installed. The dates
# that installing and packaging write, the PE header's (strip writes it) and the archive entries',
# come from SOURCE_DATE_EPOCH; when it is not set, this sets it to the time of the last commit of
# the sources, so that the same commit gives the same packages. Without git or a checkout it
# stays unset, and those dates are the time of packaging.
# Takes USERLENS_SOURCE_DIR and USERLENS_GIT (empty when git was not found).
if(DEFINED ENV{SOURCE_DATE_EPOCH} OR NOT USERLENS_GIT)
  return()
endif()
execute_process(COMMAND ${USERLENS_GIT} -C ${USERLENS_SOURCE_DIR} log -1 --format=%ct
                OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                RESULT_VARIABLE result)
if(result EQUAL 0 AND epoch MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
