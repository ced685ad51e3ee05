#!/bin/sh
# Measures the user list and a single report at scale: N accounts (default 100,000) in NSS
# files with shadow, groups and lastlog, in a private mount namespace. Prints the wall times
# of "getent passwd" and "userlens /listusers" side by side (hyperfine) and the peak memory
# (/usr/bin/time -v). Needs root, hyperfine and GNU time.
#
#   measure_scale.sh USERLENS MAKE_LASTLOG [N]
set -eu

userlens=$1
make_lastlog=$2
count=${3:-100000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
today=$(($(date -u +%s) / 86400))

awk -v n="$count" -v today="$today" -v dir="$work" 'BEGIN {
  passwd = dir "/passwd"; shadow = dir "/shadow"; group = dir "/group"
  print "root:x:0:0:root:/root:/bin/bash" > passwd
  print "root:*:" today - 400 ":0:99999:7:::" > shadow
  print "root:x:0:" > group
  admins = ""
  for (i = 1; i <= n; i++) {
    name = sprintf("user%06d", i)
    uid = 10000 + i
    printf "%s:x:%d:%d:User Number %d,Room %d,,:/home/%s:/bin/bash\n", name, uid, uid, i, i % 500, name > passwd
    lock = (i % 10 == 0) ? "!" : ""
    printf "%s:%s$6$salt%d$abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn:%d:0:99999:7:::\n", name, lock, i, today - (i % 1000) > shadow
    printf "%s:x:%d:\n", name, uid > group
    if (i % 1000 == 0) admins = admins (admins == "" ? "" : ",") name
  }
  print "users:x:100:" > group
  print "sudo:x:27:" admins > group
}'
lastlog_args=
i=1
while [ "$i" -le "$count" ]; do
  lastlog_args="$lastlog_args $((10000 + i))=$((1700000000 + i))"
  i=$((i + 97))
done
# shellcheck disable=SC2086
"$make_lastlog" "$work/lastlog" $lastlog_args
printf 'passwd: files\ngroup: files\nshadow: files\n' > "$work/nsswitch.conf"
mkdir "$work/log" && mv "$work/lastlog" "$work/log/lastlog"
cp "$userlens" "$work/userlens"

unshare -m sh -c '
  work=$1
  for file in passwd group shadow nsswitch.conf; do mount --bind "$work/$file" "/etc/$file"; done
  mount --bind "$work/log" /var/log
  [ -d /run/nscd ] && mount --bind "$work/log" /run/nscd
  echo "accounts: $(getent passwd | wc -l)"
  hyperfine --warmup 3 --runs 20 -N "getent passwd" "$work/userlens /listusers"
  hyperfine --warmup 3 --runs 20 -N "$work/userlens user050000"
  for command in "getent passwd" "$work/userlens /listusers" "$work/userlens user050000"; do
    /usr/bin/time -f "$command: peak RSS %M KiB, %e s" $command > /dev/null
  done
' sh "$work"
