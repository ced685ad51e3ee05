#!/bin/sh
# Runs the contract rows that depend on where standard output goes, with it sent there:
#   run_redirected.sh file|pipe|null|terminal PROGRAM [RUNNER ARGUMENTS...]
# The program learns the redirection from USERLENS_STDOUT (USERLENS_TERMINAL for a terminal);
# its own report goes to standard error or, for the terminal, through script(1).
set -u
redirection=$1
shift
# The one row of this redirection ("null" runs the row "null_device").
filter="Rows/StdOutputContract.Holds/${redirection}*"
case "$redirection" in
  terminal)
    command -v script >/dev/null 2>&1 || { echo "skipped: script(1) is not installed"; exit 77; }
    quoted=""
    for word in "$@"; do quoted="$quoted '$word'"; done
    USERLENS_TERMINAL=1 script -qec "$quoted --gtest_filter=*OnATerminal* --gtest_color=no" /dev/null
    exit $?
    ;;
  file)
    out=$(mktemp) || exit 1
    USERLENS_STDOUT=file "$@" --gtest_filter="$filter" > "$out"
    status=$?
    cat "$out"
    rm -f "$out"
    exit $status
    ;;
  pipe)
    # The exit status of the program, not of cat.
    { USERLENS_STDOUT=pipe "$@" --gtest_filter="$filter"; echo $? > "${TMPDIR:-/tmp}/userlens-contract-$$"; } | cat
    status=$(cat "${TMPDIR:-/tmp}/userlens-contract-$$")
    rm -f "${TMPDIR:-/tmp}/userlens-contract-$$"
    exit "$status"
    ;;
  null)
    # The program's own report goes to the null device too, so what it says of the row is read
    # back from its XML report (a relative path, in a folder of its own, which Wine maps as well).
    folder=$(mktemp -d) || exit 1
    (cd "$folder" && USERLENS_STDOUT=null "$@" --gtest_filter="$filter" \
      --gtest_output=xml:report.xml > /dev/null)
    status=$?
    case "$(cat "$folder/report.xml" 2>/dev/null)" in
      *'result="completed"'*) echo "[       OK ] $filter" ;;
      *'result="skipped"'*) echo "[  SKIPPED ] $filter" ;;
      *) echo "no report of $filter" >&2; status=1 ;;
    esac
    rm -rf "$folder"
    exit $status
    ;;
esac
echo "unknown redirection: $redirection" >&2
exit 2
