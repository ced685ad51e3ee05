# Sourced by the host tests that run the real program over prepared account files: a private
# mount and UTS namespace where $etc/{passwd,group,shadow,nsswitch.conf,hosts} stand in for the
# host's, the host name is $hostname, and the program runs with a clean environment.
#
# The sourcing script sets: hostname; optionally log (bound over /var/log) and locales (for
# LOCPATH). It gets: skip; work, a fresh folder that every user can read and that goes at exit,
# with etc (the folder for the prepared files), bin and empty in it; in_namespace, run, has,
# hasnt, fail, passed, failures, and a summary at the end.

skip() {
  echo "SKIPPED: $*"
  exit 77
}
[ "$(id -u)" = 0 ] || skip "private mount namespaces need root"
unshare -m -u true 2>/dev/null || skip "cannot make private mount and UTS namespaces here"

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
chmod 755 "$work"
etc=$work/etc
mkdir -p "$etc" "$work/bin" "$work/empty"
failures=0
passed=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# in_namespace LOCALE [COMMAND...]: runs the command over the prepared files with only LANG,
# LC_ALL, PATH (and LOCPATH) set; 99 when the files cannot be bound.
in_namespace() {
  local locale=$1
  shift
  unshare -m -u sh -c '
    etc=$1 log=$2 hostname=$3 empty=$4
    shift 4
    for file in passwd group shadow nsswitch.conf hosts; do
      mount --bind "$etc/$file" "/etc/$file" || exit 99
    done
    if [ -n "$log" ]; then mount --bind "$log" /var/log || exit 99; fi
    # A running nscd would answer from the host instead of the files.
    if [ -d /run/nscd ]; then mount --bind "$empty" /run/nscd || exit 99; fi
    echo "$hostname" >/proc/sys/kernel/hostname || exit 99
    exec "$@"
  ' sh "$etc" "${log:-}" "$hostname" "$work/empty" \
    env -i LANG="$locale" LC_ALL="$locale" PATH=/usr/bin:/bin ${locales:+LOCPATH=$locales} "$@"
}

# run NAME LOCALE EXPECTED-EXIT [WRAPPER...] -- [ARGUMENT...]: the program's output in
# $work/NAME.out with the CR LF line ends checked and removed, its exit code in $code.
run() {
  local name=$1 locale=$2 expected=$3
  shift 3
  local wrapper=()
  while [ "$1" != "--" ]; do
    wrapper+=("$1")
    shift
  done
  shift
  in_namespace "$locale" "${wrapper[@]}" "$work/bin/userlens" "$@" >"$work/$name.raw" \
    2>"$work/$name.err"
  code=$?
  # A sanitizer build started without /proc warns that it cannot name the program; that is all.
  sed -i '/^==[0-9]*==WARNING: reading executable name failed/d' "$work/$name.err"
  if [ $code = 99 ]; then
    fail "$name: the namespace could not be set up"
  elif [ $code != "$expected" ]; then
    fail "$name: exit code $code, expected $expected; $(head -c 300 "$work/$name.err")"
  elif [ -s "$work/$name.err" ]; then
    fail "$name: wrote to standard error: $(head -c 300 "$work/$name.err")"
  elif ! awk '!/\r$/ { bad = 1 } END { exit bad }' "$work/$name.raw"; then
    fail "$name: a line does not end with CR LF"
  else
    passed=$((passed + 1))
  fi
  sed 's/\r$//' "$work/$name.raw" >"$work/$name.out"
}

# has NAME LINE / hasnt NAME LINE: the output holds LINE exactly, as a whole line, or not.
has() {
  printf '%s\n' "$2" >"$work/line"
  if grep -qxF -f "$work/line" "$work/$1.out"; then
    passed=$((passed + 1))
  else
    fail "$1: no line '$(head -c 120 "$work/line")'"
  fi
}
hasnt() {
  printf '%s\n' "$2" >"$work/line"
  if grep -qxF -f "$work/line" "$work/$1.out"; then
    fail "$1: a line '$(head -c 120 "$work/line")'"
  else
    passed=$((passed + 1))
  fi
}

summary() {
  echo "$passed passed, $failures failed"
  [ "$failures" = 0 ]
}
