#!/bin/bash
# Userlens beside the commands its users would run instead, on the same prepared data:
#   - the report of the current user beside `id`;
#   - the report of a named account beside `id NAME` (and `getent passwd NAME`, for reference);
#   - the report of an account in 500 groups beside `id NAME`;
#   - `userlens /listusers` beside `getent passwd`;
#   - for reference, the floor under the list (bench/floor.cpp): the same lines from one read of
#     each file, with and without making the memory of the record block Windows' call returns;
# each at 10,000, 100,000 and 1,000,000 accounts (passwd, shadow and group files bound over /etc
# in a private mount namespace, with "files" alone in nsswitch.conf); and at 100,000 accounts
# with another NSS source beside files ("files systemd"), where `/listusers` stands beside
# `getent passwd` followed by `getent shadow` and must print what NSS says. Every command's
# output goes through a pipe. Times are hyperfine's medians, peak memory GNU time's maximum
# resident set size (the largest of three runs); the ratios are Userlens to the peer.
#
#   bench/run.sh [OUTPUT.md]          (as root; default output build/bench/results.md)
#
# Environment: BENCH_SCALES="10000 100000 1000000", BENCH_RUNS (minimum runs per command, 30;
# 100 at 10,000 accounts and 10 at 1,000,000), BENCH_SYSTEMD=0 leaves the "files systemd" round out.
# Exits 1 when a target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output=${1:-$root/build/bench/results.md}
scales=${BENCH_SCALES:-10000 100000 1000000}
systemd=${BENCH_SYSTEMD:-1}
runs=${BENCH_RUNS:-30}

die() {
  echo "bench: $*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || die "run as root: the accounts are bound over /etc in a private mount namespace"
unshare -m true 2>/dev/null || die "cannot make a private mount namespace here"
command -v hyperfine >/dev/null || die "hyperfine is not installed (apt-get install hyperfine)"
command -v jq >/dev/null || die "jq is not installed (apt-get install jq)"
[ -x /usr/bin/time ] || die "/usr/bin/time is not installed (apt-get install time)"
if [ "$systemd" = 1 ] && [ ! -e /lib/x86_64-linux-gnu/libnss_systemd.so.2 ] &&
  [ ! -e /usr/lib/x86_64-linux-gnu/libnss_systemd.so.2 ]; then
  die "the \"files systemd\" round needs nss-systemd (apt-get install libnss-systemd), or BENCH_SYSTEMD=0"
fi

# The program as shipped: an optimised build without tests.
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
program=$root/build/bench/src/userlens
[ -x "$program" ] || die "$program was not built"
# The floor under the list, for reference (bench/floor.cpp).
floor=$root/build/bench/floor
c++ -O2 -std=c++17 -o "$floor" "$root/bench/floor.cpp" || die "bench/floor.cpp does not build"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/empty"
# Host names from /etc/hosts alone: without a hosts line, the C library would ask DNS for the
# computer's name in every timed run, and the network's delay would enter the figures.
printf 'passwd: files\ngroup: files\nshadow: files\nhosts: files\n' >"$work/nsswitch.files"
printf 'passwd: files systemd\ngroup: files systemd\nshadow: files systemd\nhosts: files\n' \
  >"$work/nsswitch.systemd"

# N accounts user000001..: a GECOS with the usual commas, a shadow entry (every tenth locked),
# a user-private group each, and every thousandth account in sudo; the account a quarter of the
# way in is a member of 500 groups spread through the file as well.
prepare() {
  local n=$1 dir=$work/$1 today=$(($(date -u +%s) / 86400))
  [ -d "$dir" ] && return
  mkdir -p "$dir"
  awk -v n="$n" -v today="$today" -v dir="$dir" 'BEGIN {
    passwd = dir "/passwd"; shadow = dir "/shadow"; group = dir "/group"
    print "root:x:0:0:root:/root:/bin/bash" > passwd
    print "root:*:" today - 400 ":0:99999:7:::" > shadow
    print "root:x:0:" > group
    admins = ""
    member = sprintf("user%06d", int(n / 4) > 0 ? int(n / 4) : 1)
    step = int(n / 500) > 0 ? int(n / 500) : 1
    for (i = 1; i <= n; i++) {
      name = sprintf("user%06d", i)
      uid = 10000 + i
      printf "%s:x:%d:%d:User Number %d,Room %d,,:/home/%s:/bin/bash\n", name, uid, uid, i, i % 500, name > passwd
      printf "%s:%s$6$salt%d$abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef:%d:0:99999:7:::\n", name, (i % 10 == 0) ? "!" : "", i, today - (i % 1000) > shadow
      printf "%s:x:%d:\n", name, uid > group
      if (i % step == 0 && i / step <= 500) printf "team%03d:x:%d:%s\n", i / step, 2000000 + i, member > group
      if (i % 1000 == 0) admins = admins (admins == "" ? "" : ",") name
    }
    print "users:x:100:" > group
    print "sudo:x:27:" admins > group
  }'
  chmod 644 "$dir/passwd" "$dir/group"
  chmod 600 "$dir/shadow"
}

# Measures one round inside a private mount namespace over the files of n accounts: MODE is
# "files" (every comparison) or "systemd" (the list only). Writes GROUP.json and GROUP.peak files
# into the round's own directory.
measure() {
  local n=$1 mode=$2 dir=$work/$1 round=$work/$1-$2 named member rounds=$runs
  named=$(printf 'user%06d' $((n / 2)))
  member=$(printf 'user%06d' $((n >= 4 ? n / 4 : 1)))
  # Small scales take a millisecond or two a run, where a shared machine's noise weighs most.
  [ "$n" -le 10000 ] && [ -z "${BENCH_RUNS:-}" ] && rounds=100
  [ "$n" -ge 1000000 ] && [ -z "${BENCH_RUNS:-}" ] && rounds=10
  mkdir -p "$round"
  unshare -m bash -s -- "$n" "$dir" "$round" "$work" "$program" "$named" "$rounds" "$mode" \
    "$floor" "$member" <<'INNER'
set -euo pipefail
n=$1 dir=$2 round=$3 work=$4 program=$5 named=$6 runs=$7 mode=$8 floor=$9 member=${10}
for file in passwd group shadow; do mount --bind "$dir/$file" "/etc/$file"; done
mount --bind "$work/nsswitch.$mode" /etc/nsswitch.conf
# A running nscd would answer from the host's own files.
if [ -d /run/nscd ]; then mount --bind "$work/empty" /run/nscd; fi
# The same data for every command, and the list is what NSS says: checked before measuring.
accounts=$(getent passwd | wc -l)
[ "$mode" = systemd ] || [ "$accounts" = $((n + 1)) ] ||
  { echo "bench: getent sees the wrong files" >&2; exit 1; }
getent passwd | cut -d: -f1 | sort >"$round/nss.names"
"$program" /listusers | tail -n +4 | sed 's/^ *Yes *| //; s/^ *| //; s/ (Disabled)\r$//; s/\r$//' |
  sort >"$round/userlens.names"
cmp -s "$round/nss.names" "$round/userlens.names" ||
  { echo "bench: userlens /listusers does not list what NSS lists ($mode)" >&2; exit 1; }
[ "$mode" = systemd ] || cmp -s <("$floor") <("$program" /listusers) ||
  { echo "bench: the floor does not write the lines userlens writes" >&2; exit 1; }

compare() {  # compare GROUP NAME=COMMAND...
  local group=$1
  shift
  local args=()
  for pair in "$@"; do args+=(-n "${pair%%=*}" "${pair#*=}"); done
  hyperfine -N --style none --output=pipe --warmup 3 --min-runs "$runs" \
    --export-json "$round/$group.json" "${args[@]}" >/dev/null 2>>"$round/hyperfine.log"
  for pair in "$@"; do
    # Peak resident memory in KiB: the largest of three runs.
    peak=0
    for _ in 1 2 3; do
      # shellcheck disable=SC2086 # the command's words are separate arguments
      /usr/bin/time -f '%M' -o "$round/time.out" ${pair#*=} 2>/dev/null | cat >/dev/null
      kib=$(tail -1 "$round/time.out")
      [ "$kib" -gt "$peak" ] && peak=$kib
    done
    echo "$peak ${pair%%=*}" >>"$round/$group.peak"
  done
}
if [ "$mode" = systemd ]; then
  printf 'getent passwd\ngetent shadow\n' >"$round/both.sh"
  compare list "userlens /listusers=$program /listusers" \
    "getent passwd; getent shadow=sh $round/both.sh"
  exit 0
fi
compare current "userlens=$program" "id=id"
compare named "userlens $named=$program $named" "id $named=id $named" \
  "getent passwd $named=getent passwd $named"
compare many "userlens $member=$program $member" "id $member=id $member"
compare list "userlens /listusers=$program /listusers" "getent passwd=getent passwd" \
  "floor: read and write=$floor" "floor: read, write and the block's memory=$floor block"
INNER
}

# The target of a peer's line, as "limit|text": Userlens's median at most limit times the peer's.
target_of() {
  case "$1/$2/$3" in
    files/current/id) echo "1.2|at most 1.2×" ;;
    files/named/id\ * | files/many/id\ *) echo "1.0|at most 1.0×" ;;
    files/list/getent\ passwd) echo "1.0|at most 1.0×" ;;
    systemd/list/*) echo "1.0|never slower" ;;
    *) echo "|" ;;
  esac
}

verdict=0
table() {  # table N MODE: the rows of one round
  local n=$1 mode=$2 round=$work/$1-$2
  for group in current named many list; do
    local json=$round/$group.json
    [ -f "$json" ] || continue
    local count subject subject_peak
    count=$(jq '.results | length' "$json")
    subject=$(jq '.results[0].median' "$json")
    subject_peak=$(awk 'NR == 1 { print $1 }' "$round/$group.peak")
    for ((i = 0; i < count; i++)); do
      local name median cpu peak ratio="" limit="" text="" mark=""
      name=$(jq -r ".results[$i].command" "$json")
      median=$(jq ".results[$i].median" "$json")
      cpu=$(jq ".results[$i].user + .results[$i].system" "$json")
      peak=$(awk -v line=$((i + 1)) 'NR == line { print $1 }' "$round/$group.peak")
      if [ "$i" -gt 0 ]; then
        ratio=$(awk -v a="$subject" -v b="$median" 'BEGIN { printf "%.2f", a / b }')
        IFS='|' read -r limit text <<<"$(target_of "$mode" "$group" "$name")"
        if [ -n "$limit" ]; then
          if awk -v r="$ratio" -v l="$limit" 'BEGIN { exit !(r <= l) }'; then
            mark=met
          else
            mark=MISSED
            verdict=1
          fi
        fi
      elif [ "$group" = list ] && [ "$n" = 100000 ] && [ "$mode" = files ]; then
        text="peak at most 32 MiB"
        if [ "$subject_peak" -le 32768 ]; then mark=met; else mark=MISSED verdict=1; fi
      fi
      awk -v n="$n" -v mode="$mode" -v name="$name" -v median="$median" -v cpu="$cpu" \
        -v peak="$peak" -v ratio="$ratio" -v text="$text" -v mark="$mark" 'BEGIN {
          printf "| %s | %s | `%s` | %.2f | %.2f | %.1f | %s | %s | %s |\n",
            n, mode, name, median * 1000, cpu * 1000, peak / 1024, ratio, text, mark
        }'
    done
  done
}

rows=$work/rows
: >"$rows"
for n in $scales; do
  echo "bench: $n accounts" >&2
  prepare "$n"
  measure "$n" files
  table "$n" files >>"$rows"
done
if [ "$systemd" = 1 ]; then
  echo "bench: 100000 accounts, files systemd" >&2
  prepare 100000
  measure 100000 systemd
  table 100000 systemd >>"$rows"
fi

# The list's cost per account at each scale: linear growth keeps it level.
per_account() {
  for n in $scales; do
    local json=$work/$n-files/list.json
    [ -f "$json" ] || continue
    jq -r --arg n "$n" '.results[0].median as $m |
      "| \($n) | \(($m * 1e9 / ($n | tonumber)) | floor) ns |"' "$json"
  done
}

mkdir -p "$(dirname "$output")"
{
  echo "# Benchmark run of $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "## Machine"
  echo
  echo "- CPU: $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores"
  echo "- Memory: $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
  echo "- Kernel: $(uname -sr); $(. /etc/os-release && echo "$PRETTY_NAME"); $(ldd --version | head -1)"
  echo "- userlens: $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown), Release build (preset bench), $("$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$root/build/bench/CMakeCache.txt")" --version | head -1)"
  echo "- $(hyperfine --version), medians of at least $runs runs (100 at 10,000 accounts, 10 at 1,000,000) after 3 warm-up runs; peak memory: GNU time $(dpkg-query -W -f='${Version}' time 2>/dev/null || echo '(version unknown)'), largest of 3 runs"
  echo "- Load average when done: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "Each peer's line gives the median of the userlens line above it divided by the peer's own;"
  echo "the named account is the one in the middle of the file."
  echo
  echo "| accounts | nsswitch | command | median (ms) | CPU user+sys (ms) | peak (MiB) | userlens ÷ this | target | |"
  echo "|---:|---|---|---:|---:|---:|---:|---|---|"
  cat "$rows"
  echo
  echo "\`userlens /listusers\` per account:"
  echo
  echo "| accounts | median per account |"
  echo "|---:|---:|"
  per_account
} >"$output"
cat "$output"
exit $verdict
