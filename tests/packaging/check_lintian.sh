#!/bin/bash
# lintian, Debian's package checker, finds no error and no warning in the .deb. Its info tags
# are shown, and pass.
# usage: check_lintian.sh BUILD_DIR WORK_DIR
. "$(dirname "$0")/../checks.sh"
take build work -- "$@"

command -v lintian >/dev/null || { echo "skipped: lintian is not installed"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
step "$work/cpack.log" cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work"
shopt -s nullglob
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one .deb, found: ${debs[*]:-none}"; exit 1; }

# As root, lintian warns on its standard error that it would rather not run as root. Its scratch
# files (mldbm-elf-*) go to the test's own folder, not the machine's /tmp, where it leaves them.
mkdir -p "$work/tmp"
report=$(TMPDIR="$work/tmp" lintian --display-info --fail-on error,warning "${debs[0]}" \
  2>"$work/lintian.err")
status=$?
[ -z "$report" ] || echo "$report"
grep -v 'running with root privileges' "$work/lintian.err"
tags=$(echo "$report" | grep -E '^[EW]: ')
if [ $status -ne 0 ] || [ -n "$tags" ]; then
  echo "FAIL: lintian exited with $status and reports errors or warnings:"
  echo "$tags"
  exit 1
fi
echo "lintian: no error and no warning in ${debs[0]##*/}"
