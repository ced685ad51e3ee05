#!/bin/bash
# The program on a Samba AD domain (tests/domain/domain_env.sh), on the DC and on a joined member:
# a domain account's report is, line by line, what winbind, NSS and the DC's directory hold; a
# local account's report is what it is without the domain, byte for byte; /listusers marks the
# domain's disabled accounts and its administrators; the record comes through a Kerberos ticket
# and through the machine account; a stopped or silent DC costs at most the budget of 5 seconds.
#
#   domain_cases.sh USERLENS README
#
# The README's sample "domain-user" is the member's report of SAMDOM\user001; with
# USERLENS_UPDATE_README=1 the sample is rewritten instead of checked. Exits 77 (skipped) with the
# reason when the domain cannot be made here.
set -u

program=$1
readme=$2
here=$(cd "$(dirname "$0")" && pwd)
env=$here/domain_env.sh
"$env" check || exit 77

# What the host holds where the domain's private copies are mounted, to show it is left as it
# was.
host_state() {
  for f in /etc/hosts /etc/resolv.conf /etc/nsswitch.conf /etc/krb5.conf /etc/krb5.keytab; do
    md5sum "$f" 2>/dev/null || echo "no $f"
  done
  find /etc/samba /run/samba /var/lib/samba /var/cache/samba /var/log/samba -printf '%p %s %T@\n' \
    2>/dev/null | sort
}
before=$(host_state)

run_start=$EPOCHREALTIME
work=$(mktemp -d /tmp/userlens-domain-XXXXXX) || exit 1
chmod 755 "$work"
dir=$work/domain
trap '"$env" down "$dir"; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
if ! "$env" up "$dir" $$; then
  tail -n 30 "$dir"/*/log/*.log
  exit 1
fi
setup_done=$EPOCHREALTIME
mkdir -p "$dir/bin" && cp "$program" "$dir/bin/userlens" && chmod 755 "$dir/bin" "$dir/bin/userlens" ||
  exit 1
printf 'passwd: files\ngroup: files\nshadow: files\nhosts: files dns\n' >"$dir/nsswitch.files"
. "$dir/facts"

failures=0
checks=0
# check WHAT GOT WANT
check() {
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    failures=$((failures + 1))
    printf 'FAIL: %s\n' "$1"
    diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed 's/^/  /' | head -40
  fi
}

on() {
  local machine=$1
  shift
  "$env" "$machine" "$dir" "$@"
}

# lens MACHINE [--bind FILE TARGET]... [--user U | --kinit U | --ticket U] -- ARGS...: the
# program's output, in the C locale; --bind puts FILE in TARGET's place for this run alone (root
# only). Every run must end with the exit code $want_exit (0 unless set for the call), write
# nothing to standard error (the libraries' own messages must not reach the user) and end each
# line with CR LF; a run that does not is written into $work/lens.faults, which fails the test
# (lens often runs in a subshell, where a count would be lost).
lens() {
  local raw=$work/lens.out err=$work/lens.err status
  lens_run "$@" >"$raw" 2>"$err"
  status=$?
  {
    [ "$status" = "${want_exit:-0}" ] || echo "userlens ${*}: exit code $status"
    [ -s "$err" ] && echo "userlens ${*}: wrote to standard error: $(head -c 300 "$err")"
    awk '!/\r$/ { bad = 1 } END { exit bad }' "$raw" || echo "userlens ${*}: a line without CR LF"
  } >>"$work/lens.faults"
  cat "$raw"
}
lens_run() {
  local machine=$1 binds=() as=() wrap=(env LC_ALL=C)
  shift
  while [ "$1" = --bind ]; do
    binds+=("$2" "$3")
    shift 3
  done
  [ "$1" = -- ] || {
    as=("$1" "$2")
    shift 2
  }
  [ ${#binds[@]} = 0 ] || wrap=(unshare -m sh -c 'while [ "$1" != -- ]; do
      mount --bind "$1" "$2" || exit 125
      shift 2
    done
    shift
    exec env LC_ALL=C "$@"' sh "${binds[@]}" --)
  on "$machine" "${as[@]}" -- "${wrap[@]}" "$dir/bin/userlens" "${@:2}"
}
files=(--bind "$dir/nsswitch.files" /etc/nsswitch.conf)

# The DC's directory: the attributes of an account, one "name: value" a line.
directory() {
  on dc -- samba-tool user show "$1" --attributes=displayName,description,homeDirectory,homeDrive,scriptPath,profilePath,userAccountControl,accountExpires,pwdLastSet,lastLogon,logonCount,badPwdCount,primaryGroupID,objectSid
}
attribute() { sed -n "s/^$1: //p" <<<"$2" | head -1; }
# An NTTIME as seconds since 1970, rounded as Samba's DC rounds it; 0 stays 0 (not known), the
# largest is "never".
unix_time() {
  case $1 in
  0 | '') echo 0 ;;
  9223372036854775807) echo never ;;
  *) echo $((($1 + 5000000) / 10000000 - 11644473600)) ;;
  esac
}
# A time line's value, as Windows' account tools print it.
when() {
  case $1 in
  0) echo unknown ;;
  never) echo never ;;
  *) LC_ALL=C date -u -d "@$1" '+%d %B %Y %H:%M:%S' ;;
  esac
}
# The names of the account flags the accounts of this domain can have.
flag_names() {
  local names= pair
  for pair in 1:UF_SCRIPT 2:UF_ACCOUNTDISABLE 512:UF_NORMAL_ACCOUNT 65536:UF_DONT_EXPIRE_PASSWD \
    8388608:UF_PASSWORD_EXPIRED; do
    (($1 & ${pair%%:*})) && names="$names, ${pair#*:}"
  done
  echo "${names#, }"
}

# expected_report MACHINE USER: the named report of SAMDOM\USER as it must be, from the DC's
# directory, winbind and NSS (Domain Admins membership included).
expected_report() {
  local machine=$1 user=$2
  local facts sid passwd computer uac expires admin
  facts=$(directory "$user")
  sid=$(on "$machine" -- wbinfo -n "SAMDOM\\$user" | cut -d' ' -f1)
  passwd=$(on "$machine" -- getent passwd "SAMDOM\\$user")
  computer=$(on "$machine" -- hostname -f | tr a-z A-Z)
  uac=$(attribute userAccountControl "$facts")
  expires=$(unix_time "$(attribute accountExpires "$facts")")
  [ "$expires" = 0 ] && expires=never
  admin=$(on dc -- samba-tool group listmembers 'Domain Admins' | grep -ix "$user")
  local text
  text() { attribute "$1" "$facts"; }
  or_nss() { [ -n "$1" ] && echo "$1" || cut -d: -f"$2" <<<"$passwd"; }
  echo "Username: $computer\\SAMDOM\\$user"
  echo "  SID: $sid"
  echo "  Days since last password change: $((($(date +%s) - $(unix_time "$(text pwdLastSet)")) / 86400))"
  [ -n "$admin" ] && echo "  Privilege: 2 (USER_PRIV_ADMIN)" || echo "  Privilege: 1 (USER_PRIV_USER)"
  echo "  Home directory: $(or_nss "$(text homeDirectory)" 6)"
  echo "  Comment: '$(text description)'"
  echo "  Flags: $((uac | 1)) ($(flag_names $((uac | 1))))"
  echo "  Script path: $(or_nss "$(text scriptPath)" 7)"
  echo "  Operator privilege: 0 ()"
  echo "  Full name: $(or_nss "$(text displayName)" 5)"
  printf "  User comment: ''\n  Parms: ''\n  Workstations: \n"
  echo "  Last logon time: $(when "$(unix_time "$(text lastLogon)")")"
  echo "  Last logoff time: unknown"
  echo "  Account expires: $(when "$expires")"
  printf '  Maximum discspace: unlimited\n  Units per week: 168\n'
  printf '  Logonhours: 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n'
  printf '              0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF\n%.0s' 1 2
  echo "  Bad password count: $(text badPwdCount)"
  echo "  Total logins count: $(text logonCount)"
  printf '  Logonserver: \\\\*\n  Countrycode: 0\n  Codepage: 0\n'
  echo "  User ID: ${sid##*-}"
  echo "  Primary Group ID: $(text primaryGroupID)"
  echo "  Profile path: $(text profilePath)"
  echo "  Home directory: $(text homeDrive)"
  echo "  Password is not expired"
  printf '\nGroups: %s\n' "$(printf -- '-%.0s' $(seq 70))"
  # The domain's groups as wbinfo --user-sids gives them, its global groups first; then the
  # Administrators alias for a member of Domain Admins.
  local global= local= group named administrators=
  for group in $(on "$machine" -- wbinfo --user-sids="$sid"); do
    [ "$group" = "$sid" ] && continue
    named=$(on "$machine" -- wbinfo -s "$group") || continue
    if [ "${named##* }" = 2 ]; then
      global+="$computer\\${named% *} ($group)"$'\n'
    else
      local+="$computer\\${named% *} ($group)"$'\n'
    fi
    [ "$group" = S-1-5-32-544 ] && administrators=yes
  done
  [ -n "$admin" ] && [ -z "$administrators" ] &&
    local+="$computer\\Administrators (S-1-5-32-544)"$'\n'
  printf '%s%s' "$global" "$local"
  printf '\nPrivileges: %s\n' "$(printf -- '-%.0s' $(seq 66))"
  printf '\nEnvironment variables: %s\n' "$(printf -- '-%.0s' $(seq 55))"
}

for machine in member dc; do
  # A domain account's report, as root (the DC's record through the machine account): a full
  # name and the DC's own home, script and profile; a disabled account; one that expires; a
  # member of Domain Admins.
  for user in user001 user002 user003 user004; do
    check "$machine: the report of SAMDOM\\$user" "$(lens $machine -- "SAMDOM\\$user" | tr -d '\r')" \
      "$(expected_report $machine $user)"
  done
  # The name as the command line folds it: winbind matches it ignoring case.
  check "$machine: samdom\\USER004 is SAMDOM\\user004" "$(lens $machine -- 'samdom\USER004' | sed -n 2p | tr -d '\r')" \
    "  SID: $(on $machine -- wbinfo -n 'SAMDOM\user004' | cut -d' ' -f1)"

  # A local account is as it is without the domain, byte for byte: root, a system account, and
  # the report of the user who runs the program.
  for args in root daemon ''; do
    lens $machine -- $args >"$work/with"
    lens $machine "${files[@]}" -- $args >"$work/without"
    check "$machine: userlens $args is as without the domain" \
      "$(grep -q '^Username: ' "$work/with" && cmp "$work/with" "$work/without" && echo same)" same
  done

  # /listusers: the local accounts as without the domain, then the domain's accounts NSS lists,
  # marked from the DC's directory.
  lens $machine "${files[@]}" -- /listusers | tr -d '\r' >"$work/local"
  admins=$(on dc -- samba-tool group listmembers 'Domain Admins' | tr A-Z a-z)
  disabled=$(on dc -- /usr/bin/python3 -c '
from samba.auth import system_session
from samba.param import LoadParm
from samba.samdb import SamDB
lp = LoadParm()
lp.load_default()
db = SamDB(url=lp.private_path("sam.ldb"), session_info=system_session(), lp=lp)
for account in db.search(db.domain_dn(), attrs=["sAMAccountName"],
                         expression="(userAccountControl:1.2.840.113556.1.4.803:=2)"):
    print(account["sAMAccountName"][0])' | tr A-Z a-z)
  expected=$(
    cat "$work/local"
    on $machine -- getent passwd | cut -d: -f1 | grep '^SAMDOM\\' | while read -r name; do
      short=$(tr A-Z a-z <<<"${name#SAMDOM\\}")
      mark='          | '
      grep -qx "$short" <<<"$admins" && mark='   Yes    | '
      suffix=
      grep -qx "$short" <<<"$disabled" && suffix=' (Disabled)'
      echo "$mark$name$suffix"
    done
  )
  listed=$(lens $machine -- /listusers | tr -d '\r')
  check "$machine: /listusers" "$listed" "$expected"
  check "$machine: /listusers marks a disabled account and a member of Domain Admins" \
    "$(grep -xF -e '          | SAMDOM\user002 (Disabled)' -e '   Yes    | SAMDOM\user004' <<<"$listed" |
      LC_ALL=C sort)" "          | SAMDOM\user002 (Disabled)
   Yes    | SAMDOM\user004"
done

# The README's sample: the member's report of a domain account.
sample=$(
  echo "\$ userlens 'SAMDOM\\user001'"
  lens member -- 'SAMDOM\user001' | tr -d '\r'
)
if [ "${USERLENS_UPDATE_README:-0}" = 1 ]; then
  SAMPLE=$sample awk '
    /^<!-- sample: domain-user -->$/ { print; getline; print; print ENVIRON["SAMPLE"]; skip = 1; next }
    skip && /^```$/ { skip = 0 }
    !skip' "$readme" >"$work/readme" && cat "$work/readme" >"$readme"
fi
check "README: the sample domain-user (USERLENS_UPDATE_README=1 rewrites it)" \
  "$(awk '/^<!-- sample: domain-user -->$/ { getline; on = 1; next } on && /^```$/ { exit } on' "$readme")" \
  "$sample"

# A domain user with a Kerberos ticket: the DC's record through it, in the report of the user
# who runs the program too; without a ticket, the host's own facts.
for user in user005 user006; do
  on member --kinit $user -- true
done
check "member: SAMDOM\\user006's Kerberos logons" \
  "$(lens member --ticket user005 -- 'SAMDOM\user006' | tr -d '\r')" "$(expected_report member user006)"
current=$(lens member --ticket user005 -- | tr -d '\r')
check "member: the record of the user who runs the program" "$(head -31 <<<"$current")" \
  "$(expected_report member user005 | head -31)"
check "member: the groups of the process" \
  "$(sed -n '/^Groups:/,/^$/p' <<<"$current" | sed '1d;$d' | sed 's/.* (//; s/)$//' | sort)" \
  "$( (echo S-1-1-0 && on member -- wbinfo --user-sids="$(on member -- wbinfo -n 'SAMDOM\user005' |
    cut -d' ' -f1)" | sed 1d) | sort)"
uid=$(on member -- id -u 'SAMDOM\user001')
without=$(lens member --user user005 -- 'SAMDOM\user001' | tr -d '\r')
check "member: without a ticket, the host's facts" "$(sed -n '2p;10p;27p' <<<"$without")" \
  "$(expected_report member user001 | sed -n 2p)
  Full name: 
  User ID: $uid"
# ... and in the list: without the DC's list of accounts, Domain Admins' members are known from
# the groups winbind gives them.
check "member: /listusers without a ticket marks a member of Domain Admins" \
  "$(lens member --user user005 -- /listusers | tr -d '\r' | grep -xF '   Yes    | SAMDOM\user004')" \
  '   Yes    | SAMDOM\user004'

# An account NSS still knows but the DC no longer has: the DC has the last word.
on member -- id 'SAMDOM\user099' >/dev/null
on dc -- samba-tool user delete user099 >/dev/null
check "member: an account the DC has deleted" "$(want_exit=1 lens member -- 'SAMDOM\user099' | tr -d '\r')" \
  $'\nUser: "samdom\\user099" does not exist'

# seconds_since START: the seconds from START (an $EPOCHREALTIME) to now.
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
within() { awk -v s="$1" -v low="$2" -v high="$3" 'BEGIN { print (s >= low && s <= high) }'; }

# A DC that takes every packet and answers none (DNS, Kerberos, LDAP, RPC, SMB): the report waits
# out its budget of 5 seconds, and no more. The silent DC listens at 127.0.0.11, which the
# program's /etc/hosts gives the DC's name, while winbind still asks the real one.
sed 's/^127.0.0.10 /127.0.0.11 /' "$dir/member/etc/hosts" >"$dir/hosts.silent"
on dc -- /usr/bin/python3 -c '
import os, socket, sys, time
held = []
for port in (53, 88, 135, 389, 445):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        s = socket.socket(socket.AF_INET, kind)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # past the earlier connections
        s.bind(("127.0.0.11", port))
        if kind == socket.SOCK_STREAM:
            s.listen(64)
        held.append(s)
open(sys.argv[1], "w").write(str(os.getpid()))
time.sleep(600)
' "$work/silent" &
silent=$!
for _ in $(seq 50); do
  [ -s "$work/silent" ] && break
  sleep 0.1
done
check "silent DC: its ports taken" "$([ -s "$work/silent" ] && echo yes)" yes
start=$EPOCHREALTIME
silent_report=$(lens member --bind "$dir/hosts.silent" /etc/hosts -- 'SAMDOM\user003' | tr -d '\r')
silent_seconds=$(seconds_since "$start")
on dc -- kill "$(cat "$work/silent")"
wait "$silent" 2>/dev/null
check "silent DC: the domain's SID, the host's facts" "$(sed -n '2p;27p' <<<"$silent_report")" \
  "$(expected_report member user003 | sed -n 2p)
  User ID: $(on member -- id -u 'SAMDOM\user003')"
check "silent DC: waited the budget ($silent_seconds s)" "$(within "$silent_seconds" 4.5 6.5)" 1

# With the DC stopped (its ports closed), the host's facts, within the budget.
"$env" stop-dc "$dir"
start=$EPOCHREALTIME
stopped=$(lens member -- 'SAMDOM\user001' | tr -d '\r')
stop_seconds=$(seconds_since "$start")
check "DC stopped: the host's facts" "$(sed -n '2p;10p;27p' <<<"$stopped")" \
  "$(sed -n '2p;10p;27p' <<<"$without")"
check "DC stopped: answered within 5 seconds ($stop_seconds s)" "$(within "$stop_seconds" 0 5.5)" 1

checks=$((checks + 1))
if [ -s "$work/lens.faults" ]; then
  failures=$((failures + 1))
  echo "FAIL: runs of the program:"
  sed 's/^/  /' "$work/lens.faults"
fi

checks_done=$EPOCHREALTIME
cp "$dir/dc/log/times" "$work/times" 2>/dev/null
"$env" down "$dir"
trap 'rm -rf "$work"' EXIT
check "the host is left as it was" "$(host_state)" "$before"

awk -v a="$run_start" -v b="$setup_done" -v c="$checks_done" -v d="$EPOCHREALTIME" 'BEGIN {
  printf "times: domain up %.1f s, checks %.1f s, down %.1f s, whole run %.1f s\n", b - a, c - b, d - c, d - a }'
echo "times: $(tr '\n' ' ' <"$work/times" 2>/dev/null); the report with the DC stopped: $stop_seconds s, silent: $silent_seconds s"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
