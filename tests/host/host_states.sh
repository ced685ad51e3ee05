#!/bin/bash
# The Linux host in odd states, each told truthfully: files that are no regular files, a
# non-blocking standard output, a program started with an empty name or without /proc, a shadow
# the caller cannot read behind an NSS source that makes records up, names in another letter
# case, text in other locales, groups without a name or of a shared one, an empty environment
# entry, the longest host name, inclusion rules of the compat format, and control characters on a
# terminal. The real program runs in private mount and UTS namespaces over prepared files.
#
#   host_states.sh USERLENS EXEC_WITH
#
# Needs root for the namespaces; where they cannot be made it says why and exits 77 (skipped).
set -u
program=${1:?usage: host_states.sh USERLENS EXEC_WITH}
exec_with=${2:?usage: host_states.sh USERLENS EXEC_WITH}
hostname=ulhost
. "$(dirname "$0")/namespace.sh"
command -v setpriv >/dev/null || skip "setpriv (util-linux) is not installed"
command -v localedef >/dev/null || skip "localedef (locales) is not installed"

mkdir -p "$work/log" "$work/fifo" "$work/locale"
cp "$program" "$work/bin/userlens" && cp "$exec_with" "$work/bin/exec_with" || exit 1
chmod 755 "$work/bin/userlens" "$work/bin/exec_with"
esc=$(printf '\033')
cat >"$etc/passwd" <<EOF
root:x:0:0:root:/root:/bin/bash
ann:x:1001:1001:Ann Admin:/home/ann:/bin/bash
bob:x:1002:100:Bob Builder:/home/bob:/bin/sh
Mixed:x:1003:100:Mixed Case:/home/mixed:/bin/sh
erin:x:1004:100:Erin $(printf '\303\226')tzi:/home/erin:/bin/sh
$(printf 'jos\303\251'):x:1005:100:Jos$(printf '\303\251'):/home/jose:/bin/sh
zhanna:x:1006:100:$(printf '\320\226\320\260\320\275\320\275\320\260'):/home/zhanna:/bin/sh
ctl:x:1007:100:${esc}[31mred${esc}[0m $(printf '\302\233')2J $(printf '\342\200\272')2J:/home/ctl:/bin/sh
dov:x:1008:100:$(printf '\327\223\327\225\327\223'):/home/dov:/bin/sh
yen:x:1009:100:A$(printf '\302\245')B:/home/yen:/bin/sh
wei:x:1010:100:$(printf '\344\270\255'):/home/wei:/bin/sh
mura:x:1011:100:$(printf '\343\203\240\343\203\251\343\202\277'):/home/mura:/bin/sh
gb:x:1012:100:$(printf '\344\273\234\306\240'):/home/gb:/bin/sh
+::0:0:::
-evil:::::
+@netgroup::::::
nobody:x:65534:65534:nobody:/nonexistent:/usr/sbin/nologin
EOF
cat >"$etc/group" <<EOF
root:x:0:
sudo:x:27:ann
users:x:100:
ann:x:1001:
dup:x:7001:bob
dup:x:7002:bob
:x:6200:bob
+:::
nogroup:x:65534:
EOF
cat >"$etc/shadow" <<EOF
root:\$6\$Qv1n\$d2Vh0cX0bA5h3p8eQ5s0n1:19000:0:99999:7:::
ann:\$6\$Qv1n\$d2Vh0cX0bA5h3p8eQ5s0n2:19000:0:99999:7:::
bob:!\$6\$Qv1n\$d2Vh0cX0bA5h3p8eQ5s0n3:19000:0:99999:7:::
zhanna:*:19000:0:99999:7::21991:
EOF
# Writes nsswitch.conf with the sources of passwd, group, shadow and hosts: "files" for each
# not given (or given empty).
nsswitch() {
  printf 'passwd: %s\ngroup: %s\nshadow: %s\nhosts: %s\n' "${1:-files}" "${2:-files}" \
    "${3:-files}" "${4:-files}" >"$etc/nsswitch.conf"
}
nsswitch
printf '127.0.0.1 localhost\n' >"$etc/hosts"
chmod 644 "$etc/passwd" "$etc/group" "$etc/nsswitch.conf" "$etc/hosts"
chmod 600 "$etc/shadow"
mkfifo "$work/fifo/lastlog"
# The locales of the other character sets, made here and found through LOCPATH.
for locale in en_US.ISO-8859-1:en_US:ISO-8859-1 ru_RU.KOI8-R:ru_RU:KOI8-R \
  he_IL.CP1255:he_IL:CP1255 ja_JP.SJIS:ja_JP:SHIFT_JIS zh_HK.BIG5-HKSCS:zh_HK:BIG5-HKSCS \
  zh_CN.GB18030:zh_CN:GB18030 ru_RU.UTF-8:ru_RU:UTF-8 tg_TJ.KOI8-T:tg_TJ:KOI8-T; do
  IFS=: read -r name source charmap <<<"$locale"
  localedef -i "$source" -f "$charmap" "$work/locale/$name" 2>/dev/null ||
    [ -d "$work/locale/$name" ] || skip "localedef cannot make $name"
done
locales=$work/locale
as_bob=(setpriv --reuid=1002 --regid=100 --clear-groups --inh-caps=-all)
flags() { sed -n 's/^  Flags: //p' "$work/$1.out"; }

# A host file that would block (a FIFO as lastlog) is no file: the report and the list end.
log=$work/fifo
run fifo-report C.UTF-8 0 timeout 10 -- ann
has fifo-report "  Last logon time: unknown"
run fifo-list C.UTF-8 0 timeout 10 -- /listusers
has fifo-list "   Yes    | ann"
log=$work/log

# A non-blocking pipe that fills up: every line arrives, and the run ends with 0.
{
  cat "$etc/passwd"
  for i in $(seq 1 10000); do echo "many$i:x:$((20000 + i)):100::/home/many$i:/bin/sh"; done
} >"$work/passwd.many"
mkdir -p "$work/many" && cp "$etc"/* "$work/many/" && cp "$work/passwd.many" "$work/many/passwd"
chmod 644 "$work/many/passwd"
saved_etc=$etc
etc=$work/many
in_namespace C.UTF-8 perl -e 'use Fcntl; my $f = fcntl(STDOUT, F_GETFL, 0);
  fcntl(STDOUT, F_SETFL, $f | O_NONBLOCK) or die; exec @ARGV' "$work/bin/userlens" /listusers |
  { sleep 1; cat; } >"$work/nonblocking.out"
code=${PIPESTATUS[0]}
etc=$saved_etc
lines=$(tr -d '\r' <"$work/nonblocking.out" | grep -c '| ')
expected=$(($(grep -cv '^[+-]' "$work/passwd.many") + 1))  # the accounts and the header
[ "$code" = 0 ] || fail "nonblocking: exit code $code"
[ "$lines" = "$expected" ] && passed=$((passed + 1)) ||
  fail "nonblocking: $lines lines of $expected arrived"

# The first argument is token 1 whatever the program's name, and without /proc.
run empty-name C.UTF-8 0 "$work/bin/exec_with" --argv0 "" --env LANG=C.UTF-8 -- ann
has empty-name "Username: ULHOST\\ann"
run quote-name C.UTF-8 0 "$work/bin/exec_with" --argv0 '"' --env LANG=C.UTF-8 -- ann
has quote-name "Username: ULHOST\\ann"
# ... also when the file that was run is itself named by a quote alone.
mkdir -p "$work/quoted" && cp "$work/bin/userlens" "$work/quoted/\""
run quote-file C.UTF-8 1 sh -c 'cd "$1" && shift 2 &&
  exec "$0" --argv0 "\"" --env LANG=C.UTF-8 "\"" "$@"' "$work/bin/exec_with" "$work/quoted" -- nosuch
has quote-file 'User: "nosuch" does not exist'
run no-proc C.UTF-8 0 sh -c 'mount -t tmpfs none /proc && exec "$@"' sh -- ann
has no-proc "Username: ULHOST\\ann"

# Root of a user namespace of its own has every capability over that namespace only, and so no
# privilege, whose power is over the whole computer.
if unshare --user --map-root-user true 2>/dev/null; then
  run userns-root C.UTF-8 0 unshare --user --map-root-user --
  for privilege in "SeLoadDriverPrivilege = Load and unload device drivers" \
    "SeShutdownPrivilege = Shut down the system" "SeDebugPrivilege = Debug programs" \
    "SeChangeNotifyPrivilege = Bypass traverse checking"; do
    has userns-root "(0) $privilege"
  done
else
  echo "note: no user namespace can be made here; userns-root not checked"
fi

# A name server that takes every question and answers none holds the report up for a second at
# most (Windows names itself without the network); the computer is then named by its host name.
# The resolver is told to wait 4 s, so a report that waits for it takes 4 s or more.
ip=$(PATH=$PATH:/usr/sbin:/sbin command -v ip)
python=$(command -v /usr/bin/python3 python3 | head -n 1)
if [ -n "$ip" ] && [ -n "$python" ]; then
  printf 'nameserver 127.0.0.1\noptions timeout:4 attempts:1\n' >"$work/resolv.conf"
  cat >"$work/bin/silent-dns" <<SCRIPT
#!/bin/sh
# The command in a network of its own whose only name server, 127.0.0.1, answers nothing.
exec unshare -n sh -c '
  mount --bind "$work/resolv.conf" /etc/resolv.conf && "$ip" link set lo up || exit 99
  "$python" -c "
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind((\"127.0.0.1\", 53))
open(\"$work/dns.ready\", \"w\").close()
while True: s.recv(4096)
" &
  listener=\$!
  while [ ! -e "$work/dns.ready" ]; do sleep 0.05; done
  "\$@"
  status=\$?
  kill \$listener
  exit \$status
' sh "\$@"
SCRIPT
  chmod 755 "$work/bin/silent-dns"
  nsswitch "" "" "" "files dns"
  started=$(date +%s%N)
  run silent-dns C.UTF-8 0 "$work/bin/silent-dns" -- ann
  spent=$((($(date +%s%N) - started) / 1000000))
  nsswitch
  has silent-dns "Username: ULHOST\\ann"
  [ "$spent" -lt 3000 ] && passed=$((passed + 1)) ||
    fail "silent-dns: the report took $spent ms with a silent name server"
else
  echo "note: ip or python3 is missing; silent-dns not checked"
fi

# Where host names may come from off the host, the resolver is asked on a thread of its own, and
# its answer names the computer as where it is asked directly.
printf '127.0.0.1 localhost\n127.0.1.1 ulhost.corp.test ulhost\n' >"$etc/hosts"
nsswitch "" "" "" "files dns"
run resolver-thread C.UTF-8 0 -- ann
printf '127.0.0.1 localhost\n' >"$etc/hosts"
nsswitch
has resolver-thread "Username: ULHOST.CORP.TEST\\ann"

# Where NSS has other sources after the files, a group the file lacks is named by them: here
# nss-systemd's made-up nogroup, which it answers for by name but leaves out of a walk of the
# groups. The process's groups and the account's groups name it alike. The groups NSS gives keep
# their members: ann, in sudo, is an administrator.
grep -v '^nogroup:' "$etc/group" >"$work/group.nogroup" && cp "$etc/group" "$work/group.saved"
cp "$work/group.nogroup" "$etc/group"
nsswitch "" "files systemd"
run nss-group-token C.UTF-8 0 setpriv --reuid=65534 --regid=65534 --clear-groups --
run nss-group-record C.UTF-8 0 -- nobody
run nss-group-admin C.UTF-8 0 -- ann
cp "$work/group.saved" "$etc/group"
nsswitch
has nss-group-token 'ULHOST\nogroup (S-1-22-2-65534)'
has nss-group-record 'ULHOST\nogroup (S-1-22-2-65534)'
has nss-group-admin '  Privilege: 2 (USER_PRIV_ADMIN)'

# Names in another letter case, as Windows matches them; the record keeps the stored name.
run mixed C.UTF-8 0 -- MIXED
has mixed "Username: ULHOST\\Mixed"
run inclusion-rule C.UTF-8 1 -- +
has inclusion-rule 'User: "+" does not exist'
run list C.UTF-8 0 -- /listusers
has list "   Yes    | ann" && has list "          | nobody"
for rule in "+" "-evil" "+@netgroup"; do hasnt list "   Yes    | $rule" && hasnt list "          | $rule"; done

# Host text is UTF-8 whatever the locale: one "?" for each character the code page lacks; the
# locale's own character set where it holds the text; an argument typed in the locale.
run erin-c C 0 -- erin
has erin-c "  Full name: Erin ?tzi"
run jose-latin1 en_US.ISO-8859-1 0 -- "$(printf 'jos\351')"
has jose-latin1 "  Full name: $(printf 'Jos\351')"
# A twelve-hour locale: midnight is 12 AM.
run zhanna-en en_US.ISO-8859-1 0 -- zhanna
has zhanna-en "  Account expires: 18 March 2030 12:00:00 AM"
run zhanna-koi8 ru_RU.KOI8-R 0 -- zhanna
has zhanna-koi8 "  Full name: $(printf '\366\301\316\316\301')"
# A month by its own name (nominative), as Windows gives it: "Март", not the genitive "марта".
has zhanna-koi8 "  Account expires: 18 $(printf '\355\301\322\324') 2030 00:00:00"
# The time locale's texts are in its own character set, which need not be LC_CTYPE's: read in
# that set, then written in the code page as any text; a set without a code page gives English.
for mix in 'time-utf8-in-c:C:ru_RU.UTF-8:????' \
  time-koi8-in-utf8:C.UTF-8:ru_RU.KOI8-R:$(printf '\320\234\320\260\321\200\321\202') \
  time-koi8t-in-utf8:C.UTF-8:tg_TJ.KOI8-T:March; do
  IFS=: read -r name ctype time month <<<"$mix"
  run "$name" C.UTF-8 0 "$work/bin/exec_with" --env LANG="$ctype" --env LC_TIME="$time" \
    --env LOCPATH="$locales" -- zhanna
  has "$name" "  Account expires: 18 $month 2030 00:00:00"
done
# Hebrew letters in code page 1255, and no look-alike in 932: its backslash is no yen sign.
run dov-1255 he_IL.CP1255 0 -- dov
has dov-1255 "  Full name: $(printf '\343\345\343')"
run yen-932 ja_JP.SJIS 0 -- yen
has yen-932 "  Full name: A?B"
# Hong Kong's Big5 with HKSCS has no Windows code page of its own: Windows there has 950.
run wei-hkscs zh_HK.BIG5-HKSCS 0 -- wei
has wei-hkscs "  Full name: $(printf '\244\244')"

# Groups without a name or of a shared name: each with its own SID, the same form on every path,
# and the report goes on to its end.
run groups C.UTF-8 0 -- bob
for line in 'ULHOST\dup (S-1-22-2-7001)' 'ULHOST\Unix Group\7002 (S-1-22-2-7002)' \
  'ULHOST\Unix Group\6200 (S-1-22-2-6200)'; do
  has groups "$line"
done
has groups "Environment variables: -------------------------------------------------------"
run groups-current C.UTF-8 0 setpriv --reuid=1002 --regid=100 --init-groups --
has groups-current 'ULHOST\Unix Group\7002 (S-1-22-2-7002)'
has groups-current 'ULHOST\Unix Group\6200 (S-1-22-2-6200)'
# The effective group is in the token even where it is no supplementary group: here it makes
# the caller an administrator.
run groups-egid C.UTF-8 0 setpriv --reuid=1002 --regid=27 --clear-groups --
has groups-egid 'ULHOST\sudo (S-1-22-2-27)'
has groups-egid 'ULHOST\Administrators (S-1-5-32-544)'
# A caller whose uid has no passwd entry (a container run as a bare uid) has no name: the
# report of the current user ends with the lookup's status, as the manual says.
run no-name C.UTF-8 1 setpriv --reuid=4242 --regid=100 --clear-groups --
has no-name "GetUserNameW failed with system error 1332"

# An empty environment entry does not end the block: the entries after it are shown.
run environment C.UTF-8 0 "$work/bin/exec_with" --env LANG=C.UTF-8 --env FIRST=1 --env "" \
  --env AFTER=yes --
has environment "AFTER=yes"

# The longest host name Linux allows.
long=$(printf 'h%.0s' $(seq 1 64))
saved_hostname=$hostname
hostname=$long
run long-host C.UTF-8 0 -- ann
# A host name set with the root's dot at its end: Windows' names never show it.
hostname=ulhost.
run root-dot C.UTF-8 0 -- ann
hostname=$saved_hostname
has long-host "Username: $(echo "$long" | tr a-z A-Z)\\ann"
has root-dot "Username: ULHOST\\ann"

# On a terminal the control characters of host data show as "?"; to a file they stay.
in_namespace C.UTF-8 script -qec "$work/bin/userlens ctl" /dev/null >"$work/terminal.out" 2>&1
tr -d '\r' <"$work/terminal.out" >"$work/terminal.lines" && mv "$work/terminal.lines" "$work/terminal.out"
has terminal "  Full name: ?[31mred?[0m ?2J $(printf '\342\200\272')2J"
has terminal "Username: ULHOST\\ctl"
run ctl-file C.UTF-8 0 -- ctl
has ctl-file "  Full name: ${esc}[31mred${esc}[0m $(printf '\302\233')2J $(printf '\342\200\272')2J"
# Also from a terminal: what decides is where the output goes, not whether there is a console.
# The file is byte for byte the one written without a terminal.
in_namespace C.UTF-8 script -qec \
  "$work/bin/userlens ctl >$work/ctl-console.raw 2>$work/ctl-console.err" /dev/null >/dev/null 2>&1
code=$?
if [ $code != 0 ] || [ -s "$work/ctl-console.err" ]; then
  fail "ctl-console: exit code $code; $(head -c 300 "$work/ctl-console.err")"
elif ! cmp -s "$work/ctl-file.raw" "$work/ctl-console.raw"; then
  fail "ctl-console: the file differs from the one written without a terminal"
else
  passed=$((passed + 1))
fi
# In Windows-1255 "›" is the byte 0x9B, which the Linux console reads as CSI in any character set.
in_namespace he_IL.CP1255 script -qec "$work/bin/userlens ctl" /dev/null >"$work/terminal-1255.out" 2>&1
tr -d '\r' <"$work/terminal-1255.out" >"$work/terminal.lines" && mv "$work/terminal.lines" "$work/terminal-1255.out"
has terminal-1255 "  Full name: ?[31mred?[0m ?2J ?2J"
# In Shift-JIS the second byte of a character may be 0x80, a C1 control only as a byte of its own:
# "ムラタ" reaches the terminal whole.
in_namespace ja_JP.SJIS script -qec "$work/bin/userlens mura" /dev/null >"$work/terminal-sjis.out" 2>&1
tr -d '\r' <"$work/terminal-sjis.out" >"$work/terminal.lines" && mv "$work/terminal.lines" "$work/terminal-sjis.out"
has terminal-sjis "  Full name: $(printf '\203\200\203\211\203\136')"
# In GB18030 0x9B is the second byte of "仜" and the third of "Ơ", no control of its own.
in_namespace zh_CN.GB18030 script -qec "$work/bin/userlens gb" /dev/null >"$work/terminal-gb.out" 2>&1
tr -d '\r' <"$work/terminal-gb.out" >"$work/terminal.lines" && mv "$work/terminal.lines" "$work/terminal-gb.out"
has terminal-gb "  Full name: $(printf '\201\233\201\060\233\060')"
# GB18030 writes the C1 control U+009B as four bytes, which a terminal decoding GB18030 reads as CSI.
in_namespace zh_CN.GB18030 script -qec "$work/bin/userlens ctl" /dev/null >"$work/terminal-gb-ctl.out" 2>&1
tr -d '\r' <"$work/terminal-gb-ctl.out" >"$work/terminal.lines" &&
  mv "$work/terminal.lines" "$work/terminal-gb-ctl.out"
has terminal-gb-ctl "  Full name: ?[31mred?[0m ?2J $(printf '\201\066\247\071')2J"
# Where the filter shortens a line (a control of two or four bytes shown as one "?"), the line is
# still reported written whole: none is written a second time, so the terminal gets the file's lines.
for name in terminal terminal-1255 terminal-gb-ctl; do
  lines=$(wc -l <"$work/$name.out")
  [ "$lines" = "$(wc -l <"$work/ctl-file.out")" ] && passed=$((passed + 1)) ||
    fail "$name: $lines lines, where the file has $(wc -l <"$work/ctl-file.out")"
done

# The report and the list agree on every account's disabled and administrator marks, for root
# and for a caller who cannot read shadow behind an NSS source that makes a record up for root
# (shadow read by the files module, or by the compat module, which reads the same file).
for shadow in files compat; do
  nsswitch "" "" "$shadow systemd"
  for caller in root bob; do
    wrapper=()
    [ "$caller" = bob ] && wrapper=("${as_bob[@]}")
    run "agree-$shadow-$caller-list" C.UTF-8 0 "${wrapper[@]}" -- /listusers
    for account in root ann bob Mixed nobody; do
      out=agree-$shadow-$caller-$account
      run "$out" C.UTF-8 0 "${wrapper[@]}" -- "$account"
      mark="          | "
      grep -q '^  Privilege: .*USER_PRIV_ADMIN' "$work/$out.out" && mark="   Yes    | "
      suffix=""
      case $(flags "$out") in *UF_ACCOUNTDISABLE*) suffix=" (Disabled)" ;; esac
      has "agree-$shadow-$caller-list" "$mark$account$suffix"
    done
  done
  case $(flags "agree-$shadow-bob-root") in
    *UF_ACCOUNTDISABLE*) fail "root is disabled for bob ($shadow)" ;;
  esac
  case $(flags "agree-$shadow-root-bob") in
    *UF_ACCOUNTDISABLE*) ;;
    *) fail "bob is not disabled for root ($shadow)" ;;
  esac
done

# Where nsswitch.conf names no files for shadow, the file's lines are nobody's: bob's locked
# password there disables him in neither the report nor the list.
nsswitch "" "" systemd
run shadow-elsewhere-bob C.UTF-8 0 -- bob
run shadow-elsewhere-list C.UTF-8 0 -- /listusers
case $(flags shadow-elsewhere-bob) in
  "") fail "shadow-elsewhere-bob: no flags" ;;
  *UF_ACCOUNTDISABLE*) fail "shadow-elsewhere-bob: the shadow file was read" ;;
  *) passed=$((passed + 1)) ;;
esac
has shadow-elsewhere-list "          | bob"

# A caller who cannot read the administrator groups learns so: ann (in sudo) is no plain user to
# the report, the list, the groups or the token. Root needs no group to be one (but its groups
# cannot be listed). One who cannot read the accounts learns that, not that an account does not
# exist. Also where other sources follow the files, which NSS would ask in their stead.
for sources in files "files systemd" "compat systemd"; do
  nsswitch "$sources" "$sources"
  tag=${sources// /-}
  chmod 600 "$etc/group"
  run "unreadable-report-$tag" C.UTF-8 1 "${as_bob[@]}" -- ann
  has "unreadable-report-$tag" "Access Denied"
  hasnt "unreadable-report-$tag" "  Privilege: 1 (USER_PRIV_USER)"
  run "unreadable-list-$tag" C.UTF-8 0 "${as_bob[@]}" -- /listusers
  hasnt "unreadable-list-$tag" "          | ann"
  hasnt "unreadable-list-$tag" "   Yes    | root"
  run "unreadable-root-$tag" C.UTF-8 1 "${as_bob[@]}" -- root
  has "unreadable-root-$tag" "  Privilege: 2 (USER_PRIV_ADMIN)"
  chmod 644 "$etc/group"
  chmod 600 "$etc/passwd"
  for account in ann ANN root; do
    run "unreadable-passwd-$tag-$account" C.UTF-8 1 "${as_bob[@]}" -- "$account"
    has "unreadable-passwd-$tag-$account" "Access Denied"
  done
  chmod 644 "$etc/passwd"
done

summary
