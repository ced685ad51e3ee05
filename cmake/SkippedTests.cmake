# A test that cannot run here is listed as skipped with the reason in its name, so that the
# reason shows in the test output and not only in the log.
function(userlens_skip_tests reason)
  foreach(test IN LISTS ARGN)
    add_test(NAME "${test} (skipped: ${reason})" COMMAND sh -c "echo 'skipped: ${reason}'; exit 77")
    set_tests_properties("${test} (skipped: ${reason})" PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
endfunction()
