#!/bin/bash
# Runs the real program against prepared account files (passwd, group, shadow, lastlog), a
# prepared host name and a fixed environment, in private mount and UTS namespaces, and
# compares what it prints with the expected files under data/expected/.
#
#   host_cases.sh USERLENS MAKE_LASTLOG DATA_DIR
#
# Needs root to make the namespaces; where they cannot be made it says why and exits 77, which
# ctest counts as skipped. USERLENS_UPDATE_EXPECTED=1 writes the output as the new expected files.
set -u
userlens=${1:?usage: host_cases.sh USERLENS MAKE_LASTLOG DATA_DIR}
make_lastlog=${2:?usage: host_cases.sh USERLENS MAKE_LASTLOG DATA_DIR}
data=${3:?usage: host_cases.sh USERLENS MAKE_LASTLOG DATA_DIR}
hostname=ulhost
. "$(dirname "$0")/namespace.sh"
log=$work/log
mkdir -p "$log"
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

# check NAME LOCALE [WRAPPER...] -- [ARGUMENT...]: the output, and then the exit code, are
# data/expected/NAME.out.
check() {
  local name=$1 locale=$2
  shift 2
  local expected=$data/expected/$name.out
  run "$name" "$locale" "$(sed -n 's/^exit code: //p' "$expected")" "$@"
  echo "exit code: $code" >>"$work/$name.out"
  if [ "${USERLENS_UPDATE_EXPECTED:-0}" = 1 ]; then
    cp "$work/$name.out" "$expected"
  fi
  if diff -u "$expected" "$work/$name.out"; then
    passed=$((passed + 1))
  else
    fail "$name: the output is not $expected"
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
in_namespace C.UTF-8 script -qec "$work/bin/userlens /listusers" /dev/null >"$work/terminal.raw" 2>&1
escape=$(printf '\033')
if grep -q "$escape" "$work/terminal.raw"; then
  fail "terminal: escape sequences written"
elif [ "$(grep -c '|' "$work/terminal.raw")" != 17 ]; then
  fail "terminal: not every line of the list reached the terminal"
  cat -A "$work/terminal.raw"
else
  passed=$((passed + 1))
fi

summary
