#!/bin/sh
# The Windows build's front door: configured on a machine without MinGW-w64 it fails at once and
# names the Debian packages, and once they are there, the same build folder configures an
# optimised build (a failed first try leaves no empty compiler flags in the cache).
#
#   front_door.sh SOURCE-DIR
set -u
source=$1
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
mkdir "$work/bin"
for tool in cmake make; do
  ln -s "$(command -v "$tool")" "$work/bin/$tool" || exit 1
done
configure() {
  cmake -S "$source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DUSERLENS_TESTS=OFF >"$work/out" 2>&1
}
failures=0
if PATH=$work/bin configure; then
  echo "FAIL: configured without the compilers"
  failures=$((failures + 1))
elif ! tr '\n' ' ' <"$work/out" | grep -q 'apt-get install g++-mingw-w64-i686-posix'; then
  echo "FAIL: the message does not name the packages:"
  cat "$work/out"
  failures=$((failures + 1))
fi
if ! configure; then
  echo "FAIL: configuring with the compilers failed:"
  cat "$work/out"
  failures=$((failures + 1))
elif ! grep -q '^CMAKE_CXX_FLAGS_RELEASE:STRING=.*-O' "$work/build/CMakeCache.txt"; then
  echo "FAIL: the Release build after the failed try is not optimised:"
  grep '^CMAKE_CXX_FLAGS_RELEASE' "$work/build/CMakeCache.txt"
  failures=$((failures + 1))
fi
[ "$failures" = 0 ] && echo "ok"
exit "$failures"
