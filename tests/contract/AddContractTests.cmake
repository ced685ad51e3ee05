# Read by ctest: turns the contract list (name, why not on the stand-in, why not under Wine) into
# tests. Set before: CONTRACT_LIST, CONTRACT_SIDE (stand-in or wine), CONTRACT_PREFIX,
# CONTRACT_COMMAND (the program, with the runner in front under Wine), CONTRACT_RUNNER.
#
# On the stand-in every row is a test of its own. Under Wine one test per table runs the rows Wine
# answers in one start of the program; each row Wine cannot answer is listed on its own as
# skipped, and a table whose rows Wine answers none of has no run. A row that does not hold is a
# test whose name carries the reason and that reports itself skipped.
# The rows that need standard output sent to a file, a pipe or the null device, or a terminal,
# run once each in those surroundings.

if(NOT EXISTS "${CONTRACT_LIST}")
  add_test("${CONTRACT_PREFIX}.list (skipped: not built yet)" sh -c "exit 77")
  set_tests_properties("${CONTRACT_PREFIX}.list (skipped: not built yet)" PROPERTIES SKIP_RETURN_CODE 77)
  return()
endif()

file(STRINGS "${CONTRACT_LIST}" contract_lines)
set(contract_suites "")
foreach(line IN LISTS contract_lines)
  string(REPLACE "\t" ";" fields "${line}")
  list(LENGTH fields count)
  list(GET fields 0 name)
  set(why_stand_in "")
  set(why_wine "")
  if(count GREATER 1)
    list(GET fields 1 why_stand_in)
  endif()
  if(count GREATER 2)
    list(GET fields 2 why_wine)
  endif()
  # Rows that run only in their own surroundings (below).
  if(name MATCHES "StdOutputContract|OnATerminal")
    continue()
  endif()
  string(REGEX REPLACE "^Rows/" "" short "${name}")
  string(REPLACE ".Holds/" "." short "${short}")
  if(CONTRACT_SIDE STREQUAL "wine")
    set(why "${why_wine}")
    string(REGEX REPLACE "^Rows/" "" suite "${name}")
    string(REGEX REPLACE "\\..*$" "" suite "${suite}")
    # A table's Wine run selects exactly the rows Wine answers; a table with none has no run.
    if(why STREQUAL "")
      list(APPEND contract_suites "${suite}")
      list(APPEND rows_${suite} "${name}")
    endif()
  else()
    set(why "${why_stand_in}")
  endif()
  if(NOT why STREQUAL "")
    string(REPLACE ";" "," why "${why}")
    set(test "${CONTRACT_PREFIX}.${short} (skipped: ${why})")
    add_test("${test}" sh -c "exit 77")
    set_tests_properties("${test}" PROPERTIES SKIP_RETURN_CODE 77)
  elseif(NOT CONTRACT_SIDE STREQUAL "wine")
    add_test("${CONTRACT_PREFIX}.${short}" ${CONTRACT_COMMAND} "--gtest_filter=${name}")
    set_tests_properties("${CONTRACT_PREFIX}.${short}" PROPERTIES
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  endif()
endforeach()

if(CONTRACT_SIDE STREQUAL "wine")
  list(REMOVE_DUPLICATES contract_suites)
  foreach(suite IN LISTS contract_suites)
    string(REPLACE ";" ":" filter "${rows_${suite}}")
    add_test("${CONTRACT_PREFIX}.${suite}" ${CONTRACT_COMMAND} "--gtest_filter=${filter}")
    # A filter that selects nothing would pass on nothing.
    set_tests_properties("${CONTRACT_PREFIX}.${suite}" PROPERTIES
      FAIL_REGULAR_EXPRESSION "\\] 0 tests from"
      FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT 300)
  endforeach()
endif()

foreach(redirection file pipe null terminal)
  set(test "${CONTRACT_PREFIX}.standard_output_to_${redirection}")
  add_test("${test}" "${CONTRACT_RUNNER}" ${redirection} ${CONTRACT_COMMAND})
  # A row that skipped (the redirection never reached it) shows as skipped, not as passed; 77 is
  # a terminal run without script(1).
  set_tests_properties("${test}" PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
                                            SKIP_RETURN_CODE 77)
  if(CONTRACT_SIDE STREQUAL "wine")
    set_tests_properties("${test}" PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine TIMEOUT 300)
  endif()
endforeach()
