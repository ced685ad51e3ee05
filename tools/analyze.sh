#!/bin/bash
# Static analysis of the program's own sources (src/ and compat/, without the tests): clang-tidy
# with the checks chosen in .clang-tidy, then cppcheck. Every finding is an error.
#   tools/analyze.sh
# Needs clang-tidy (run-clang-tidy), cppcheck and jq; uses the compilation database of the
# tidy preset (build/tidy).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset tidy >/dev/null
mkdir -p build/tidy/analysis build/tidy/cppcheck
# The program's translation units only: the tests and their GoogleTest macros are not analysed.
# Paths are matched below the checkout, so that a checkout under a folder named src is no different.
jq --arg root "$PWD/" '[.[] | select(.file | ltrimstr($root) | test("^(src|compat)/"))
                         | select(.file | test("_test\\.cpp$") | not)]' \
  build/tidy/compile_commands.json >build/tidy/analysis/compile_commands.json
count=$(jq length build/tidy/analysis/compile_commands.json)
[ "$count" -gt 0 ] || { echo "analyze: no source files in the compilation database" >&2; exit 1; }
mapfile -t files < <(jq -r '.[].file' build/tidy/analysis/compile_commands.json)

tidy=$(command -v run-clang-tidy || command -v run-clang-tidy-14)
echo "analyze: clang-tidy on $count files"
"$tidy" -p build/tidy/analysis -quiet -j 2 "${files[@]}" >build/tidy/clang-tidy.log 2>&1 || {
  grep -E 'warning:|error:' build/tidy/clang-tidy.log | sed 's/\x1b\[[0-9;]*m//g' | sort -u >&2
  echo "analyze: clang-tidy found the faults above (full log: build/tidy/clang-tidy.log)" >&2
  exit 1
}

# cppcheck's style class (raw loops, const parameters of the Win32 signatures, FormatArg's
# deliberate implicit constructors) is left out; its warning, performance and portability
# classes are errors.
echo "analyze: cppcheck on $count files"
cppcheck --project=build/tidy/analysis/compile_commands.json --std=c++17 \
  --enable=warning,performance,portability --inline-suppr --error-exitcode=1 --quiet -j 2 \
  --cppcheck-build-dir=build/tidy/cppcheck

echo "analyze: clang-tidy and cppcheck found nothing"
