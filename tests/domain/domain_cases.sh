#!/bin/bash
# The domain module against a real Samba AD domain (tests/domain/domain_env.sh): on the DC and
# on a joined member, what it answers must be what winbind and the DC say.
#
#   domain_cases.sh DOMAIN_PROBE [--sanitized]
#
# Exits 77 (skipped) with the reason when the domain cannot be made here: not root, the
# packages samba samba-ad-dc winbind libnss-winbind krb5-user smbclient are missing, or the
# probe is built with AddressSanitizer (--sanitized), which refuses Samba's ldb modules.
set -u

probe=$1
here=$(cd "$(dirname "$0")" && pwd)
env=$here/domain_env.sh

if [ "${2:-}" = --sanitized ]; then
  echo "SKIPPED: Samba's ldb loads its modules with RTLD_DEEPBIND, which AddressSanitizer refuses"
  exit 77
fi
"$env" check || exit 77

# What the host holds where the domain's private copies are mounted, to show it is left as it
# was.
host_state() {
  for f in /etc/hosts /etc/resolv.conf /etc/nsswitch.conf; do md5sum "$f"; done
  find /etc/samba /run/samba /var/lib/samba /var/cache/samba /var/log/samba -printf '%p %s %T@\n' \
    2>/dev/null | sort
}
before=$(host_state)

run_start=$EPOCHREALTIME
work=$(mktemp -d /tmp/userlens-domain-XXXXXX) || exit 1
chmod 755 "$work"
dir=$work/domain
trap '"$env" down "$dir"; rm -rf "$work"' EXIT
if ! "$env" up "$dir"; then
  tail -n 30 "$dir"/*/log/*.log
  exit 1
fi
setup_done=$EPOCHREALTIME
mkdir -p "$dir/bin" && cp "$probe" "$dir/bin/probe" && chmod 755 "$dir/bin" "$dir/bin/probe" || exit 1
. "$dir/facts"

failures=0
checks=0
# check WHAT GOT WANT
check() {
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    failures=$((failures + 1))
    printf 'FAIL: %s\n  got:  %s\n  want: %s\n' "$1" "$2" "$3"
  fi
}

# probe MACHINE [--user U | --kinit U] -- QUESTION...: the answers alone, one a line.
probe() {
  local machine=$1
  shift
  "$env" "$machine" "$dir" "$@" | grep -v '^waited:' | cut -f2-
}
wbinfo_on() { "$env" "$1" "$dir" -- wbinfo "${@:2}" 2>/dev/null; }

for machine in member dc; do
  # Names to SIDs, as wbinfo --name-to-sid; a bare name is one of the host's domain.
  for name in 'SAMDOM\user001' 'SAMDOM\user004' 'SAMDOM\group03' 'SAMDOM\Domain Admins' user004; do
    want=$(wbinfo_on $machine -n "$name" | sed 's/ SID_[A-Z_]* (\([0-9]*\))$/ \1/')
    check "$machine: name $name" "$(probe $machine -- "$dir/bin/probe" "name:$name")" "$want"
  done
  user_sid=$(wbinfo_on $machine -n 'SAMDOM\user004' | cut -d' ' -f1)
  group_sid=$(wbinfo_on $machine -n 'SAMDOM\group03' | cut -d' ' -f1)
  uid=$("$env" $machine "$dir" -- id -u 'SAMDOM\user004')
  gid=$("$env" $machine "$dir" -- getent group 'SAMDOM\group03' | cut -d: -f3)
  check "$machine: uid $uid" "$(probe $machine -- "$dir/bin/probe" "uid:$uid")" \
    "$(wbinfo_on $machine -U "$uid")"
  check "$machine: gid $gid" "$(probe $machine -- "$dir/bin/probe" "gid:$gid")" \
    "$(wbinfo_on $machine -G "$gid")"
  check "$machine: uid of $user_sid" "$(probe $machine -- "$dir/bin/probe" "uidof:$user_sid")" "$uid"
  check "$machine: gid of $group_sid" "$(probe $machine -- "$dir/bin/probe" "gidof:$group_sid")" "$gid"
  for sid in "$user_sid" "$group_sid" "$domain_sid-512" S-1-5-32-544; do
    check "$machine: sid $sid" "$(probe $machine -- "$dir/bin/probe" "sid:$sid")" \
      "$(wbinfo_on $machine -s "$sid")"
  done
  # The groups of a user, as wbinfo --user-sids, with Domain Admins (and only it) marked.
  check "$machine: groups of user004" "$(probe $machine -- "$dir/bin/probe" "sids:$user_sid")" \
    "$(wbinfo_on $machine --user-sids="$user_sid" | sed "s/^$domain_sid-512\$/& admins/")"
  plain_sid=$(wbinfo_on $machine -n 'SAMDOM\user005' | cut -d' ' -f1)
  check "$machine: no admin mark for user005" \
    "$(probe $machine -- "$dir/bin/probe" "sids:$plain_sid" | grep -c admins)" 0

  # The DC's record, read by root with the machine account.
  record=$(probe $machine -- env -u KRB5CCNAME "$dir/bin/probe" 'user:SAMDOM\user001' \
    'user:SAMDOM\user002' 'user:SAMDOM\user003' 'user:SAMDOM\user004' 'user:SAMDOM\nosuch')
  value() { echo "$record" | sed -n "$1" | head -1; }
  check "$machine: user001 found" "$(value '1p')" "status=found net=0 server=dc1.samdom.example.com"
  check "$machine: full name" "$(echo "$record" | grep -m1 '^full_name=')" "full_name=$full_name"
  check "$machine: user001's RID" "$(echo "$record" | grep -m1 '^user_id=')" \
    "user_id=$(wbinfo_on $machine -n 'SAMDOM\user001' | cut -d' ' -f1 | sed 's/.*-//')"
  flags=$(echo "$record" | grep '^flags=' | sed -n 2p | cut -d= -f2)
  check "$machine: $disabled_user is disabled (UF_ACCOUNTDISABLE)" "$((flags & 2))" 2
  expires=$(echo "$record" | grep '^acct_expires=' | sed -n 3p | cut -d= -f2)
  days=$(((expires - $(date +%s) + 43200) / 86400))
  check "$machine: $expiring_user expires in 90 days" "$days" 90
  check "$machine: user001 never expires" "$(echo "$record" | grep -m1 '^acct_expires=')" \
    "acct_expires=4294967295"
  check "$machine: $admin_user's groups" \
    "$(echo "$record" | grep '^groups=' | sed -n 4p | cut -d= -f2 | tr , '\n' | sort | paste -sd,)" \
    "Domain Admins,Domain Users,group04"
  check "$machine: user001's local groups" "$(echo "$record" | grep -m1 '^local_groups=')" \
    "local_groups=Users"
  # Samba 4.17 answers 1301 (some not mapped) for a member of Domain Admins, whose aliases
  # include BUILTIN\Administrators: the local groups are not known.
  check "$machine: $admin_user's local groups" \
    "$(echo "$record" | grep '^local_groups=' | sed -n 4p)" "local_groups=-"
  check "$machine: a missing user" "$(echo "$record" | tail -1)" \
    "status=no-such-user net=1332 server=dc1.samdom.example.com"

  # A domain user: with a Kerberos ticket the DC answers; without one, not known at once.
  check "$machine: record with a ticket" \
    "$(probe $machine --kinit user005 -- "$dir/bin/probe" 'user:SAMDOM\user001' | grep -m1 full_name)" \
    "full_name=$full_name"
  without=$("$env" $machine "$dir" --user user005 -- "$dir/bin/probe" 'user:SAMDOM\user001')
  check "$machine: record without a ticket" "$(echo "$without" | head -1 | cut -f2)" \
    "status=not-known net=0 server="

  # No domain source in nsswitch.conf: nothing is loaded.
  printf 'passwd: files\ngroup: files\n' >"$work/nsswitch.files"
  check "$machine: files only" "$(probe $machine -- "$dir/bin/probe" --nsswitch "$work/nsswitch.files" source)" \
    "loaded: no"
done

# Logon count and last logon change with a Kerberos logon.
count() {
  local value
  value=$(probe member -- env -u KRB5CCNAME "$dir/bin/probe" 'user:SAMDOM\user006' | grep "^$1=")
  echo "${value#*=}" | grep -x '[0-9][0-9]*' || echo -1
}
logons=$(count num_logons)
"$env" member "$dir" --kinit user006 -- true
# Samba 4.17 counts each kinit twice.
check "a Kerberos logon counts" "$(($(count num_logons) > logons))" 1
check "a Kerberos logon sets the last logon" "$(($(count last_logon) > $(date +%s) - 600))" 1

# seconds_since START: the seconds from START (an $EPOCHREALTIME) to now.
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
within() { awk -v s="$1" -v low="$2" -v high="$3" 'BEGIN { print (s >= low && s <= high) }'; }

# With the DC stopped (its ports closed), the record is not known at once.
"$env" stop-dc "$dir"
start=$EPOCHREALTIME
gone=$(probe member -- env -u KRB5CCNAME "$dir/bin/probe" 'user:SAMDOM\user001' 'user:SAMDOM\user003')
stop_seconds=$(seconds_since "$start")
check "DC stopped: record not known" "$(echo "$gone" | head -1 | cut -d' ' -f1)" "status=not-known"
check "DC stopped: answered within 6 seconds" "$(within "$stop_seconds" 0 6)" 1

# A DC that takes every packet and answers none (DNS, Kerberos, LDAP, RPC, SMB): the whole
# domain part waits out its budget of 5 seconds, and no more.
"$env" dc "$dir" -- /usr/bin/python3 -c '
import socket, time
held = []
for port in (53, 88, 135, 389, 445):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        s = socket.socket(socket.AF_INET, kind)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # past the earlier connections
        s.bind(("127.0.0.10", port))
        if kind == socket.SOCK_STREAM:
            s.listen(64)
        held.append(s)
open("'"$work"'/silent", "w").close()
time.sleep(600)
' &
silent=$!
for _ in $(seq 50); do [ -e "$work/silent" ] && break; sleep 0.1; done
check "silent DC: its ports taken" "$([ -e "$work/silent" ] && echo yes)" yes
start=$EPOCHREALTIME
silent_answer=$("$env" member "$dir" -- env -u KRB5CCNAME "$dir/bin/probe" 'user:SAMDOM\user001' \
  'user:SAMDOM\user003' 'name:SAMDOM\user001')
silent_seconds=$(seconds_since "$start")
kill "$silent" 2>/dev/null
check "silent DC: record not known" "$(echo "$silent_answer" | head -1 | cut -f2 | cut -d' ' -f1)" \
  "status=not-known"
check "silent DC: waited the budget ($silent_seconds s)" "$(within "$silent_seconds" 4.5 6.5)" 1

checks_done=$EPOCHREALTIME
cp "$dir/dc/log/times" "$work/times" 2>/dev/null
"$env" down "$dir"
trap 'rm -rf "$work"' EXIT
check "the host is left as it was" "$(host_state)" "$before"

awk -v a="$run_start" -v b="$setup_done" -v c="$checks_done" -v d="$EPOCHREALTIME" 'BEGIN {
  printf "times: domain up %.1f s, checks %.1f s, down %.1f s, whole run %.1f s\n", b - a, c - b, d - c, d - a }'
echo "times: $(tr '\n' ' ' <"$work/times" 2>/dev/null); the record with the DC stopped: $stop_seconds s, silent: $silent_seconds s"
echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
