#!/bin/bash
# Runs every fuzz target for a bounded time, starting from its seed corpus in fuzz/corpus/.
# Fails on the first finding; the input that found it is kept in build/fuzz/findings/.
#   tools/fuzz.sh [seconds per target, default 30] [target ...]
# Build the targets first: cmake --workflow --preset fuzz
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true
targets=("$@")
# Every target is one source file in fuzz/; one that the build does not make fails below.
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

findings=build/fuzz/findings
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for target in "${targets[@]}"; do
  binary=build/fuzz/fuzz/fuzz_$target
  if [ ! -x "$binary" ]; then
    echo "fuzz: $binary is not built (cmake --workflow --preset fuzz)" >&2
    exit 1
  fi
  # New inputs go to a scratch directory; the seed corpus in the repository is only read.
  mkdir -p "$work/$target"
  echo "fuzz: $target for ${seconds}s"
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" \
      "$work/$target" "fuzz/corpus/$target" >"$work/$target.log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" | tr '\n' ' '
    echo
  else
    echo "fuzz: $target FOUND A FAULT; the input is in $findings/" >&2
    grep -vE '^#[0-9]+' "$work/$target.log" | tail -40 >&2
    status=1
  fi
done
exit $status
