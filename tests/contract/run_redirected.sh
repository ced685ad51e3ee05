#!/bin/sh
# Runs the contract row that depends on where standard output goes, with it sent there:
#   run_redirected.sh file|pipe|null|terminal PROGRAM [RUNNER ARGUMENTS...]
# The program learns the redirection from USERLENS_STDOUT (USERLENS_TERMINAL for a terminal).
# Its report goes where its output goes (lost on the null device), so what it says of the row is
# read back from its XML report, written in a folder of its own by a relative path (which Wine
# maps as well): exactly one row must have run, and a row that skipped shows as skipped.
set -u
redirection=$1
shift
case "$redirection" in
  terminal) filter="*OnATerminal*" ;;
  file | pipe | null) filter="Rows/StdOutputContract.Holds/${redirection}*" ;;
  *)
    echo "unknown redirection: $redirection" >&2
    exit 2
    ;;
esac
folder=$(mktemp -d) || exit 1
trap 'rm -rf "$folder"' EXIT
trap 'exit 1' INT TERM HUP
cd "$folder" || exit 1
set -- "$@" --gtest_filter="$filter" --gtest_output=xml:report.xml --gtest_color=no
case "$redirection" in
  terminal)
    command -v script >/dev/null 2>&1 || { echo "SKIPPED: script(1) is not installed"; exit 77; }
    quoted=""
    for word in "$@"; do quoted="$quoted '$word'"; done
    USERLENS_TERMINAL=1 script -qec "$quoted" /dev/null
    status=$?
    ;;
  file)
    USERLENS_STDOUT=file "$@" >output
    status=$?
    cat output
    ;;
  pipe)
    # The exit status of the program, not of cat.
    { USERLENS_STDOUT=pipe "$@"; echo $? >status; } | cat
    status=$(cat status)
    ;;
  null)
    USERLENS_STDOUT=null "$@" >/dev/null
    status=$?
    ;;
esac
report=$(cat report.xml 2>/dev/null)
case "$report" in
  *'<testsuites tests="1" '*) ;;
  *)
    echo "FAIL: not exactly one row of $filter ran (exit status $status)" >&2
    exit 1
    ;;
esac
[ "$status" = 0 ] || exit "$status"
case "$report" in
  *'result="skipped"'*) echo "[  SKIPPED ] $filter" ;;
  *'result="completed"'*'<failure'*) exit 1 ;;
  *'result="completed"'*) echo "[       OK ] $filter" ;;
  *) exit 1 ;;
esac
