#!/bin/bash
# A Samba AD domain in private namespaces: a domain controller and a member server joined to it,
# for tests that compare what the program says about domain accounts with what the domain holds.
#
#   domain_env.sh up DIR [OWNER]         provision the DC, fill it, join the member (DIR is new);
#                                        with OWNER, a pid, the domain ends with that process
#   domain_env.sh dc DIR [AS] -- CMD...      run CMD in the DC's namespaces
#   domain_env.sh member DIR [AS] -- CMD...  run CMD in the member's namespaces
#   domain_env.sh stop-dc DIR            stop the DC's samba (the member stays up)
#   domain_env.sh down DIR               end every process of the domain and remove DIR
#   domain_env.sh check                  exit 77 with the reason when the domain cannot be made
#
# AS is empty (root), "--user NAME" (the account NAME, without a Kerberos ticket), "--kinit NAME"
# (NAME with a fresh ticket in a ccache of its own, KRB5CCNAME set) or "--ticket NAME" (NAME with
# the ticket of its last --kinit on this machine). Each user
# NAME (user000 ... user099) has the password "Pw.NAME.1x".
#
# Everything lives in DIR and in the namespaces: /etc/samba, /run/samba, /var/lib/samba,
# /var/cache/samba, /var/log/samba, /etc/hosts, /etc/resolv.conf and /etc/nsswitch.conf are
# private bind mounts, the network is a private loopback with 127.0.0.10 for the DC, and the
# Kerberos configuration, the member's keytab and the ticket caches are files in DIR
# (KRB5_CONFIG, KRB5_KTNAME, KRB5CCNAME): nothing is written to /etc/krb5.keytab.
# The facts the domain is made with are written to DIR/facts (shell assignments).
set -u

realm=SAMDOM.EXAMPLE.COM
domain=SAMDOM
dns_domain=samdom.example.com
dc_ip=127.0.0.10
admin_password='Adm1n.Pass.W0rd'
# A fixed domain SID, so that what the program prints of the domain is the same in every run.
domain_sid=S-1-5-21-1004336348-1177238915-682003330
here=$(cd "$(dirname "$0")" && pwd)
self=$here/$(basename "$0")
samba_dirs="/etc/samba /run/samba /var/lib/samba /var/cache/samba /var/log/samba"

die() {
  echo "domain_env: $*" >&2
  exit 1
}

# Why the domain cannot be made here, or nothing.
missing() {
  [ "$(id -u)" = 0 ] || {
    echo "private namespaces and a domain controller need root"
    return
  }
  for tool in samba samba-tool net winbindd wbinfo kinit unshare nsenter setpriv ip ps; do
    command -v "$tool" >/dev/null 2>&1 || {
      echo "$tool is not installed (packages: samba samba-ad-dc winbind krb5-user iproute2 procps)"
      return
    }
  done
  [ -e /usr/lib/x86_64-linux-gnu/libnss_winbind.so.2 ] || [ -e /lib/x86_64-linux-gnu/libnss_winbind.so.2 ] || {
    echo "libnss-winbind is not installed"
    return
  }
  /usr/bin/python3 -c 'import samba.samdb' 2>/dev/null || {
    echo "python3-samba is not installed"
    return
  }
  for dir in $samba_dirs; do
    [ -d "$dir" ] || {
      echo "$dir does not exist (the samba packages make it)"
      return
    }
  done
  unshare -m -u -n -p --fork --mount-proc true 2>/dev/null || echo "cannot make private namespaces here"
}

# Seconds from the first time stamp to the second.
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", b - a }'; }

# The host pid of the first process inside the namespaces that unshare PID made.
inner_pid() {
  local children
  for _ in $(seq 100); do
    children=$(cat /proc/"$1"/task/*/children 2>/dev/null)
    [ -n "$children" ] && {
      echo "${children%% *}"
      return 0
    }
    sleep 0.02
  done
  return 1
}

# Waits until COMMAND... succeeds, at most SECONDS seconds; gives up at once when it fails with
# a status other than 1.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  local status
  until "$@" >/dev/null 2>&1; do
    status=$?
    [ $status = 1 ] || return $status
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

# The private files of one machine (dc or member) under DIR/NAME.
prepare_machine() {
  local dir=$1 name=$2 hostname=$3
  local root=$dir/$name
  mkdir -p "$root/etc" "$root/log" || die "cannot write $root"
  for d in $samba_dirs; do mkdir -p "$root/fs$d"; done
  mkdir -p "$root/fs/var/lib/samba/private" && chmod 700 "$root/fs/var/lib/samba/private"
  chmod 755 "$root" "$root/fs/run/samba"
  cat >"$root/etc/hosts" <<EOF
127.0.0.1 localhost
$dc_ip dc1.$dns_domain dc1
EOF
  [ "$hostname" = dc1 ] || echo "127.0.0.1 $hostname.$dns_domain $hostname" >>"$root/etc/hosts"
  echo "nameserver $dc_ip" >"$root/etc/resolv.conf"
  printf 'passwd: files winbind\ngroup: files winbind\nshadow: files\nhosts: files dns\n' \
    >"$root/etc/nsswitch.conf"
  chmod 644 "$root/etc/hosts" "$root/etc/resolv.conf" "$root/etc/nsswitch.conf"
}

# Bind mounts of machine NAME's private files; run inside its mount namespace.
mount_machine() {
  local dir=$1 name=$2 hostname=$3
  local root=$dir/$name
  for d in $samba_dirs; do mount --bind "$root/fs$d" "$d" || return 1; done
  for f in hosts resolv.conf nsswitch.conf; do mount --bind "$root/etc/$f" "/etc/$f" || return 1; done
  # A running nscd would answer from the host's own accounts and name servers.
  if [ -d /run/nscd ]; then
    mkdir -p "$root/empty" && mount --bind "$root/empty" /run/nscd || return 1
  fi
  hostname "$hostname"
}

# Runs inside the DC's namespaces (pid 1 there): makes the DC, then waits for the end.
dc_main() {
  local dir=$1
  exec >>"$dir/dc/log/setup.log" 2>&1
  set -x
  mount_machine "$dir" dc dc1 || exit 1
  ip link set lo up && ip addr add "$dc_ip/8" dev lo || exit 1
  local t0=$EPOCHREALTIME
  samba-tool domain provision --use-rfc2307 --server-role=dc --dns-backend=SAMBA_INTERNAL \
    --realm="$realm" --domain="$domain" --domain-sid="$domain_sid" --host-name=dc1 --host-ip="$dc_ip" \
    --adminpass="$admin_password" --option="interfaces = $dc_ip" \
    --option="bind interfaces only = yes" --option="disable netbios = yes" \
    --option="dns forwarder = $dc_ip" --option="template homedir = $dir/home/%U" \
    --option="template shell = /bin/sh" --option="winbind enum users = yes" \
    --option="winbind enum groups = yes" --option="log level = 1" || exit 1
  local t1=$EPOCHREALTIME
  cp /var/lib/samba/private/krb5.conf "$dir/krb5.conf"
  /usr/bin/python3 "$here/fill_domain.py" "$dir/facts" || exit 1
  local t2=$EPOCHREALTIME
  echo "provision=$(elapsed "$t0" "$t1") fill=$(elapsed "$t1" "$t2")" >"$dir/dc/log/times"
  samba -i -M single >"$dir/dc/log/samba.log" 2>&1 &
  echo $! >"$dir/dc/samba.pid"
  touch "$dir/dc/started"
  # pid 1 of the namespace: when it ends, every process in the namespace ends.
  while :; do sleep 3600; done
}

# Runs in a nested mount and UTS namespace inside the DC's pid and network namespaces: joins the
# member and runs its winbindd, then waits for the end.
member_main() {
  local dir=$1
  exec >>"$dir/member/log/setup.log" 2>&1
  set -x
  mount_machine "$dir" member member1 || exit 1
  # The keytab the join writes (the system keytab, /etc/krb5.keytab by default).
  export KRB5_KTNAME="FILE:$dir/member/krb5.keytab"
  cat >/etc/samba/smb.conf <<EOF
[global]
  workgroup = $domain
  realm = $realm
  security = ads
  netbios name = MEMBER1
  disable netbios = yes
  interfaces = 127.0.0.1
  bind interfaces only = yes
  kerberos method = secrets and keytab
  idmap config * : backend = tdb
  idmap config * : range = 3000-7999
  idmap config $domain : backend = ad
  idmap config $domain : schema_mode = rfc2307
  idmap config $domain : range = 10000-999999
  idmap config $domain : unix_nss_info = yes
  template shell = /bin/sh
  template homedir = $dir/home/%U
  winbind enum users = yes
  winbind enum groups = yes
  log level = 1
EOF
  net ads join --no-dns-updates -U "Administrator%$admin_password" || exit 1
  winbindd -F --debug-stdout --no-process-group >"$dir/member/log/winbindd.log" 2>&1 &
  echo $! >"$dir/member/winbindd.pid"
  touch "$dir/member/started"
  while :; do sleep 3600; done
}

# Whether machine NAME finished its setup; fails at once when its holder ended instead.
started() {
  [ -e "$1/$2/started" ] && return 0
  kill -0 "$(cat "$1/$2.pid")" 2>/dev/null || return 2
  return 1
}

# nsenter arguments for machine NAME.
enter() {
  local dir=$1 name=$2
  echo "-t $(cat "$dir/$name.pid") -m -u -n -p"
}

# run DIR NAME [--user U | --kinit U | --ticket U] -- CMD...
run_in() {
  local dir name=$2
  dir=$(cd "$1" && pwd) || die "no $1"
  shift 2
  local as=root user=
  case "${1:-}" in
  --user | --kinit | --ticket)
    as=$1
    user=$2
    shift 2
    ;;
  esac
  [ "${1:-}" = "--" ] && shift
  [ -f "$dir/$name.pid" ] || die "no $name in $dir"
  # shellcheck disable=SC2046 # the nsenter options are separate words
  nsenter $(enter "$dir" "$name") /bin/sh -c '
    dir=$1 as=$2 user=$3 domain=$4 name=$5
    shift 5
    export KRB5_CONFIG="$dir/krb5.conf" KRB5_KTNAME="FILE:$dir/$name/krb5.keytab"
    export KRB5CCNAME="FILE:$dir/ccache/$name.root"
    [ "$as" = root ] && exec "$@"
    uid=$(id -u "$domain\\$user") && gid=$(id -g "$domain\\$user") || exit 125
    export KRB5CCNAME="FILE:$dir/ccache/$name.$user" USER="$user" LOGNAME="$user"
    export HOME="$dir/home/$user"
    mkdir -p "$HOME" && chown "$uid:$gid" "$HOME" || exit 125
    [ "$as" = --ticket ] || rm -f "$dir/ccache/$name.$user"
    if [ "$as" = --kinit ]; then
      echo "Pw.$user.1x" | setpriv --reuid="$uid" --regid="$gid" --init-groups \
        kinit "$user@'"$realm"'" >/dev/null || exit 125
    fi
    exec setpriv --reuid="$uid" --regid="$gid" --init-groups "$@"
  ' sh "$dir" "$as" "$user" "$domain" "$name" "$@"
}

up() {
  local dir=$1 owner=${2:-}
  [ -e "$dir" ] && die "$dir exists"
  local why
  why=$(missing)
  [ -z "$why" ] || die "$why"
  mkdir -p "$dir/ccache" && chmod 755 "$dir" && chmod 1777 "$dir/ccache" || die "cannot make $dir"
  dir=$(cd "$dir" && pwd)
  prepare_machine "$dir" dc dc1
  prepare_machine "$dir" member member1
  local t0=$EPOCHREALTIME
  # --kill-child: the namespaces end with unshare, whose pid stands in dc.pid until pid 1 of the
  # namespaces is known, so that "down" can end a start that failed half-way.
  setsid unshare -m -u -n -p --fork --kill-child --mount-proc "$self" _dc "$dir" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/dc.pid"
  local pid
  pid=$(inner_pid $!) || die "the DC's namespaces did not start"
  echo "$pid" >"$dir/dc.pid"
  [ -z "$owner" ] || setsid "$self" _watch "$owner" "$pid" "$dir" </dev/null >/dev/null 2>&1 &
  wait_for 60 started "$dir" dc || die "the DC was not provisioned; see $dir/dc/log"
  wait_for 30 run_in "$dir" dc -- wbinfo -n "$domain\\user000" ||
    die "the DC does not answer; see $dir/dc/log"
  local t1=$EPOCHREALTIME
  # The member: a new mount and UTS namespace inside the DC's pid and network namespaces.
  # shellcheck disable=SC2046
  setsid nsenter $(enter "$dir" dc) unshare -m -u "$self" _member "$dir" </dev/null >/dev/null 2>&1 &
  # nsenter forks into the pid namespace; its child becomes the member's holder once the setup
  # is done (children come and go before).
  local nsenter=$!
  echo "$nsenter" >"$dir/member.pid"
  wait_for 30 started "$dir" member || die "the member did not join; see $dir/member/log"
  pid=$(inner_pid "$nsenter") || die "the member's namespaces did not start"
  echo "$pid" >"$dir/member.pid"
  wait_for 30 run_in "$dir" member -- wbinfo -n "$domain\\user000" ||
    die "the member's winbindd does not answer; see $dir/member/log"
  local t2=$EPOCHREALTIME
  echo "dc=$(elapsed "$t0" "$t1") member=$(elapsed "$t1" "$t2")" >>"$dir/dc/log/times"
}

# Ends the DC's samba and every process it started (by pid, in the DC's pid namespace), and
# waits until they are gone, so that their ports are free.
stop_dc() {
  local dir
  dir=$(cd "$1" && pwd) || die "no $1"
  run_in "$dir" dc -- /bin/sh -c '
    pids=$(cat "$1")
    all=$pids
    while [ -n "$pids" ]; do
      pids=$(ps -eo pid=,ppid= | awk -v parents=" $pids " "index(parents, \" \" \$2 \" \") { print \$1 }")
      all="$all $pids"
    done
    kill -TERM $all 2>/dev/null
    for _ in $(seq 100); do
      alive=
      for pid in $all; do kill -0 "$pid" 2>/dev/null && alive=1; done
      [ -z "$alive" ] && exit 0
      sleep 0.1
    done
    kill -KILL $all 2>/dev/null
  ' sh "$dir/dc/samba.pid"
}

# Ends the domain and removes DIR when its owner is gone without "down" (killed, or its test
# timed out): looks once a second, from outside the namespaces.
watch() {
  local owner=$1 pid=$2 dir=$3
  while kill -0 "$owner" 2>/dev/null; do
    kill -0 "$pid" 2>/dev/null || exit 0
    sleep 1
  done
  down "$dir"
}

down() {
  local dir=$1
  [ -f "$dir/dc.pid" ] && kill -KILL "$(cat "$dir/dc.pid")" 2>/dev/null
  # The member lives in the DC's pid namespace and ended with it.
  local pid
  pid=$(cat "$dir/dc.pid" 2>/dev/null)
  [ -n "$pid" ] && wait_for 10 sh -c "! kill -0 $pid"
  rm -rf "$dir"
}

command=${1:-}
shift || true
case "$command" in
check)
  why=$(missing)
  [ -z "$why" ] || {
    echo "SKIPPED: $why"
    exit 77
  }
  ;;
up) up "$@" ;;
down) down "$@" ;;
dc | member) run_in "$1" "$command" "${@:2}" ;;
stop-dc) stop_dc "$@" ;;
_dc) dc_main "$@" ;;
_member) member_main "$@" ;;
_watch) watch "$@" ;;
*)
  sed -n '2,/^set -u/p' "$0" | sed '$d'
  exit 2
  ;;
esac
