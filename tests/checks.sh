# Sourced by the test scripts that run a list of checks and go on past a failed one. The script
# gets: take, which names its arguments; step, for a command that what follows needs; fail, which
# counts a failed check; and finish, which ends the script with the count or its summary.
set -u
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# take NAME... -- ARGUMENT...: each NAME set to the argument in its place. With fewer arguments
# than names, the script's "# usage:" line is shown and the script ends with 2.
take() {
  local names=()
  while [ "$1" != -- ]; do
    names+=("$1")
    shift
  done
  shift
  if [ $# -lt ${#names[@]} ]; then
    sed -n 's/^# usage: /usage: /p' "$0" >&2
    exit 2
  fi
  local name
  for name in "${names[@]}"; do
    printf -v "$name" '%s' "$1"
    shift
  done
}

# step LOG COMMAND...: runs the command with its output in LOG. When it fails, the log is shown
# and the script ends, since the checks after it would only fail for the same reason.
step() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { cat "$log"; echo "FAIL: $1 exited with an error: $*"; exit 1; }
}

# finish SUMMARY: ends the script, with 1 and the count when a check failed, else with the summary.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "$1"
}
