#!/bin/bash
# Userlens beside the commands its users would run instead, on the same prepared data:
#   - the report of the current user beside `id`;
#   - the report of a named account beside `id NAME` and `getent passwd NAME`;
#   - `userlens /listusers` beside `getent passwd`;
# each at 1,000, 10,000 and 100,000 accounts (passwd, shadow and group files prepared in a
# private mount namespace, read through NSS "files"). Wall time and CPU time come from
# hyperfine, peak memory from GNU time; the ratios are to the peer command.
#
#   bench/run.sh [OUTPUT.md]          (as root; default output build/bench/results.md)
#
# Environment: BENCH_SCALES="1000 10000 100000", BENCH_RUNS (minimum runs per command, 20).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
output=${1:-$root/build/bench/results.md}
scales=${BENCH_SCALES:-1000 10000 100000}
runs=${BENCH_RUNS:-20}

die() {
  echo "bench: $*" >&2
  exit 1
}
[ "$(id -u)" = 0 ] || die "run as root: the accounts are bound over /etc in a private mount namespace"
unshare -m true 2>/dev/null || die "cannot make a private mount namespace here"
command -v hyperfine >/dev/null || die "hyperfine is not installed (apt-get install hyperfine)"
command -v jq >/dev/null || die "jq is not installed (apt-get install jq)"
if [ ! -x /usr/bin/time ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q time >/dev/null ||
    die "/usr/bin/time is missing (apt-get install time)"
fi

# The program as shipped: an optimised build without tests.
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null
program=$root/build/bench/src/userlens
[ -x "$program" ] || die "$program was not built"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/empty"
printf 'passwd: files\ngroup: files\nshadow: files\n' >"$work/nsswitch.conf"

# N accounts user000001..: a GECOS with the usual commas, a shadow entry (every tenth locked),
# a user-private group each, and every thousandth account in sudo.
prepare() {
  local n=$1 dir=$work/$1 today=$(($(date -u +%s) / 86400))
  mkdir -p "$dir"
  awk -v n="$n" -v today="$today" -v dir="$dir" 'BEGIN {
    passwd = dir "/passwd"; shadow = dir "/shadow"; group = dir "/group"
    print "root:x:0:0:root:/root:/bin/bash" > passwd
    print "root:*:" today - 400 ":0:99999:7:::" > shadow
    print "root:x:0:" > group
    admins = ""
    for (i = 1; i <= n; i++) {
      name = sprintf("user%06d", i)
      uid = 10000 + i
      printf "%s:x:%d:%d:User Number %d,Room %d,,:/home/%s:/bin/bash\n", name, uid, uid, i, i % 500, name > passwd
      printf "%s:%s$6$salt%d$abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef:%d:0:99999:7:::\n", name, (i % 10 == 0) ? "!" : "", i, today - (i % 1000) > shadow
      printf "%s:x:%d:\n", name, uid > group
      if (i % 1000 == 0) admins = admins (admins == "" ? "" : ",") name
    }
    print "users:x:100:" > group
    print "sudo:x:27:" admins > group
  }'
  chmod 644 "$dir/passwd" "$dir/group"
  chmod 600 "$dir/shadow"
}

# Runs the measurements of one scale inside a private mount namespace over its files.
measure() {
  local n=$1 dir=$work/$1 named
  named=$(printf 'user%06d' $((n / 2)))
  unshare -m bash -s -- "$n" "$dir" "$work" "$program" "$named" "$runs" <<'INNER'
set -euo pipefail
n=$1 dir=$2 work=$3 program=$4 named=$5 runs=$6
for file in passwd group shadow; do mount --bind "$dir/$file" "/etc/$file"; done
mount --bind "$work/nsswitch.conf" /etc/nsswitch.conf
# A running nscd would answer from the host's own files.
if [ -d /run/nscd ]; then mount --bind "$work/empty" /run/nscd; fi
# The same data for every command: check it before measuring.
[ "$(getent passwd | wc -l)" = $((n + 1)) ] || { echo "bench: getent sees the wrong files" >&2; exit 1; }
[ "$("$program" /listusers | wc -l)" = $((n + 4)) ] || { echo "bench: userlens sees the wrong files" >&2; exit 1; }

compare() {  # compare GROUP NAME=COMMAND...
  local group=$1
  shift
  local args=()
  for pair in "$@"; do args+=(-n "${pair%%=*}" "${pair#*=}"); done
  hyperfine -N --style none --warmup 3 --min-runs "$runs" --export-json "$dir/$group.json" \
    "${args[@]}" >/dev/null 2>>"$dir/hyperfine.log"
  for pair in "$@"; do
    # Peak resident memory in KiB: the largest of three runs.
    peak=0
    for _ in 1 2 3; do
      # shellcheck disable=SC2086 # the command's words are separate arguments
      /usr/bin/time -f '%M' -o "$dir/time.out" ${pair#*=} >/dev/null 2>&1
      kib=$(tail -1 "$dir/time.out")
      [ "$kib" -gt "$peak" ] && peak=$kib
    done
    echo "${pair%%=*} $peak" >>"$dir/$group.peak"
  done
}
compare current "userlens=$program" "id=id"
compare named "userlens $named=$program $named" "id $named=id $named" \
  "getent passwd $named=getent passwd $named"
compare list "userlens /listusers=$program /listusers" "getent passwd=getent passwd"
INNER
}

{
  echo "## Figures"
  echo
  echo "| accounts | command | wall (ms) | CPU user+sys (ms) | peak memory (MiB) | userlens ÷ this, wall | userlens ÷ this, CPU | target | |"
  echo "|---:|---|---:|---:|---:|---:|---:|---|---|"
} >"$work/table"
verdict=0
for n in $scales; do
  echo "bench: $n accounts" >&2
  prepare "$n"
  measure "$n"
  for group in current named list; do
    json=$work/$n/$group.json
    subject_wall=$(jq '.results[0].mean' "$json")
    subject_cpu=$(jq '.results[0].user + .results[0].system' "$json")
    subject_name=$(jq -r '.results[0].command' "$json")
    subject_peak=$(awk -v name="$subject_name" '{ kib = $NF; $NF = ""; sub(/ $/, "");
      if ($0 == name) print kib }' "$work/$n/$group.peak")
    count=$(jq '.results | length' "$json")
    for ((i = 0; i < count; i++)); do
      name=$(jq -r ".results[$i].command" "$json")
      wall=$(jq ".results[$i].mean" "$json")
      sd=$(jq ".results[$i].stddev" "$json")
      cpu=$(jq ".results[$i].user + .results[$i].system" "$json")
      peak=$(awk -v name="$name" '{ kib = $NF; $NF = ""; sub(/ $/, ""); if ($0 == name) print kib }' \
        "$work/$n/$group.peak")
      ratio="" cpu_ratio="" target="" mark=""
      if [ "$i" -gt 0 ]; then
        ratio=$(awk -v a="$subject_wall" -v b="$wall" 'BEGIN { printf "%.2f", a / b }')
        cpu_ratio=$(awk -v a="$subject_cpu" -v b="$cpu" 'BEGIN { printf "%.2f", a / b }')
        ok=""
        case "$group/$name" in
          current/id | named/id\ *)
            target="at most 2"
            ok=$(awk -v r="$ratio" 'BEGIN { print (r <= 2.0) ? 1 : 0 }')
            ;;
          list/*)
            target="at most 1.5"
            ok=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.5) ? 1 : 0 }')
            if [ "$n" = 100000 ]; then
              target="$target; userlens under 64 MiB"
              [ "$subject_peak" -lt 65536 ] || ok=0
            fi
            ;;
        esac
        if [ "$ok" = 1 ]; then
          mark=met
        elif [ "$ok" = 0 ]; then
          mark=MISSED
          verdict=1
        fi
      fi
      awk -v n="$n" -v name="$name" -v wall="$wall" -v sd="$sd" -v cpu="$cpu" -v peak="$peak" \
        -v ratio="$ratio" -v cr="$cpu_ratio" -v target="$target" -v mark="$mark" 'BEGIN {
          printf "| %s | `%s` | %.2f ± %.2f | %.2f | %.1f | %s | %s | %s | %s |\n",
            n, name, wall * 1000, sd * 1000, cpu * 1000, peak / 1024, ratio, cr, target, mark
        }' >>"$work/table"
    done
  done
done

mkdir -p "$(dirname "$output")"
{
  echo "# Benchmark run of $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "## Machine"
  echo
  echo "- CPU: $(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), $(nproc) cores"
  echo "- Memory: $(awk '/^MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)"
  echo "- Kernel: $(uname -sr); $(. /etc/os-release && echo "$PRETTY_NAME"); $(ldd --version | head -1)"
  echo "- userlens: $(git -C "$root" describe --always --dirty 2>/dev/null || echo unknown), Release build (preset bench)"
  echo "- $(hyperfine --version), at least $runs runs after 3 warm-up runs; peak memory: GNU time, largest of 3 runs"
  echo
  echo "Each peer's line gives the time of the userlens line above it divided by the peer's own;"
  echo "the named account is the one in the middle of the file."
  echo
  cat "$work/table"
} >"$output"
cat "$output"
exit $verdict
