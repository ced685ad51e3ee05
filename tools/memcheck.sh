#!/bin/bash
# valgrind memcheck on the real Linux program: the report of the current user, of a named
# account (root), the account list and the usage. Any memory error, or any definite or indirect
# leak, fails.
#   tools/memcheck.sh [PATH-TO-USERLENS, default build/linux/src/userlens]
# The program must be an ordinary build (not a sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/linux/src/userlens}
[ -x "$program" ] || { echo "memcheck: $program is not built" >&2; exit 1; }

log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
for args in "" "root" "/listusers" "/?" "no_such_account_$$"; do
  expected=0
  [ "$args" = "no_such_account_$$" ] && expected=1
  set +e
  valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
    --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
    --track-origins=yes --suppressions=tools/valgrind.supp --quiet --log-file="$log" \
    "$program" ${args:+"$args"} >/dev/null
  rc=$?
  set -e
  if [ $rc -ne $expected ] || [ -s "$log" ]; then
    echo "memcheck: userlens ${args:-(no argument)}: exit code $rc, expected $expected" >&2
    cat "$log" >&2
    status=1
  else
    echo "memcheck: userlens ${args:-(no argument)}: no error, no leak"
  fi
done
exit $status
