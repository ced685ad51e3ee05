#!/bin/sh
# Runs the real program against prepared account files (passwd, group, shadow, lastlog), a
# prepared host name and a fixed environment, in private mount and UTS namespaces, and
# compares what it prints with the expected files under data/expected/.
#
#   host_cases.sh USERLENS MAKE_LASTLOG DATA_DIR
#
# Needs root to make the namespaces; where they cannot be made it says why and exits 77, which
# ctest counts as skipped. UPDATE_EXPECTED=1 writes the output as the new expected files.
set -u

userlens=$1
make_lastlog=$2
data=$3

skip() {
  echo "SKIPPED: $*"
  exit 77
}

[ "$(id -u)" = 0 ] || skip "private mount namespaces need root"
unshare -m -u true 2>/dev/null || skip "cannot make private mount and UTS namespaces here"

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# Readable by the ordinary user the current-user case runs as.
chmod 755 "$work"
mkdir -p "$work/etc" "$work/log" "$work/empty" "$work/bin"
cp "$userlens" "$work/bin/userlens" && chmod 755 "$work/bin/userlens" || exit 1

# Shadow's dates are days since 1970; @T-n@ stands for n days before today, so that the ages
# the report shows stay the same whenever the test runs.
today=$(($(date -u +%s) / 86400))
awk -v today="$today" '{
  while (match($0, /@T-[0-9]+@/)) {
    days = substr($0, RSTART + 3, RLENGTH - 4)
    $0 = substr($0, 1, RSTART - 1) (today - days) substr($0, RSTART + RLENGTH)
  }
  print
}' "$data/etc/shadow.in" > "$work/etc/shadow" || exit 1
for file in passwd group nsswitch.conf hosts; do
  cp "$data/etc/$file" "$work/etc/$file" || exit 1
done
chmod 644 "$work/etc/passwd" "$work/etc/group" "$work/etc/nsswitch.conf" "$work/etc/hosts"
chmod 600 "$work/etc/shadow"
# root, ann and bob logged on; the other uids never did.
"$make_lastlog" "$work/log/lastlog" 0=1690000000 1001=1700000000 1002=1710000000 || exit 1

# Runs a command in the namespaces, over the prepared files; 99 when they cannot be set up.
in_namespace() {
  unshare -m -u sh -c '
    work=$1
    shift
    for file in passwd group shadow nsswitch.conf hosts; do
      mount --bind "$work/etc/$file" "/etc/$file" || { echo "cannot bind /etc/$file" >&2; exit 99; }
    done
    mount --bind "$work/log" /var/log || { echo "cannot bind /var/log" >&2; exit 99; }
    # A running nscd would answer from the host instead of the files.
    if [ -d /run/nscd ]; then
      mount --bind "$work/empty" /run/nscd || exit 99
    fi
    echo ulhost > /proc/sys/kernel/hostname || exit 99
    exec "$@"
  ' sh "$work" "$@"
}

failures=0

# check NAME LOCALE [WRAPPER...] -- [ARGUMENT...]
check() {
  name=$1
  locale=$2
  shift 2
  wrapper=
  while [ "$1" != "--" ]; do
    wrapper="$wrapper $1"
    shift
  done
  shift
  # shellcheck disable=SC2086 # the wrapper's words are separate arguments
  in_namespace env -i LANG="$locale" LC_ALL="$locale" PATH=/usr/bin:/bin $wrapper \
    "$work/bin/userlens" "$@" > "$work/$name.raw" 2> "$work/$name.err"
  code=$?
  if [ "$code" = 99 ]; then
    echo "FAILED $name: the namespace could not be set up: $(cat "$work/$name.err")"
    failures=$((failures + 1))
    return
  fi
  # Every line ends with CR LF; the comparison then works on plain lines.
  if ! awk '!/\r$/ { bad = 1 } END { exit bad }' "$work/$name.raw"; then
    echo "FAILED $name: a line does not end with CR LF"
    failures=$((failures + 1))
  fi
  { tr -d '\r' < "$work/$name.raw"; echo "exit code: $code"; } > "$work/$name.out"
  expected="$data/expected/$name.out"
  if [ "${UPDATE_EXPECTED:-0}" = 1 ]; then
    cp "$work/$name.out" "$expected"
  fi
  if diff -u "$expected" "$work/$name.out"; then
    echo "ok $name"
  else
    echo "FAILED $name"
    failures=$((failures + 1))
  fi
}

check administrator C.UTF-8 -- ann
check supplementary-groups C.UTF-8 -- bob
check locked C.UTF-8 -- carol
check account-expired C.UTF-8 -- dave
check never-expires C.UTF-8 -- erin
check user-private-group C.UTF-8 -- frank
check gecos-with-commas C.UTF-8 -- gina
check non-ascii-utf8 C.UTF-8 -- jurgen
check non-ascii-c C -- jurgen
check empty-password C.UTF-8 -- hank
check must-change C.UTF-8 -- ivy
check password-expired C.UTF-8 -- kim
check administrator-by-primary-group C.UTF-8 -- wendy
check guest C.UTF-8 -- nobody
check long-gecos C.UTF-8 -- longgecos
check no-such-account C.UTF-8 -- nosuchuser
check list C.UTF-8 -- /listusers
check list-c C -- /listusers
check current-ordinary-user C.UTF-8 \
  setpriv --reuid=1002 --regid=100 --init-groups --inh-caps=-all --
check current-root C.UTF-8 \
  setpriv --reuid=0 --regid=0 --init-groups --bounding-set=-all,+chown,+sys_ptrace,+dac_read_search --

# On a terminal: the program never changes the console's colours, so not one escape sequence
# reaches the terminal, and every line does.
in_namespace env -i LANG=C.UTF-8 LC_ALL=C.UTF-8 PATH=/usr/bin:/bin \
  script -qec "$work/bin/userlens /listusers" /dev/null > "$work/terminal.raw" 2>&1
escape=$(printf '\033')
if grep -q "$escape" "$work/terminal.raw"; then
  echo "FAILED terminal: escape sequences written"
  failures=$((failures + 1))
elif [ "$(grep -c '|' "$work/terminal.raw")" != 17 ]; then
  echo "FAILED terminal: not every line of the list reached the terminal"
  cat -A "$work/terminal.raw"
  failures=$((failures + 1))
else
  echo "ok terminal"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
