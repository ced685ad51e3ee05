#!/bin/bash
# `cmake --install` into a fresh prefix puts the program, its manual page and its documents in
# the usual places, and nothing else; the installed program runs and the page renders.
# usage: check_install.sh BUILD_DIR WORK_DIR SOURCE_DIR
set -u
build=$1
work=$2
source=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" --strip >"$work/install.log" 2>&1 ||
  { cat "$work/install.log"; echo "FAIL: cmake --install exited with an error"; exit 1; }

expected='bin/userlens
share/doc/userlens/LICENSE
share/doc/userlens/README.md
share/man/man1/userlens.1.gz'
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's#^\./##' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$actual"))"

[ -x "$prefix/bin/userlens" ] || fail "bin/userlens is not executable"
banner=$("$prefix/bin/userlens" '/?' | head -n 1 | tr -d '\r')
[ "${banner#Quornvale Userlens }" != "$banner" ] || fail "the installed program printed: $banner"

gzip -dc "$prefix/share/man/man1/userlens.1.gz" | cmp -s - "$source/docs/userlens.1" ||
  fail "the installed manual page is not docs/userlens.1"
cmp -s "$prefix/share/doc/userlens/README.md" "$source/README.md" || fail "README.md differs"
cmp -s "$prefix/share/doc/userlens/LICENSE" "$source/LICENSE" || fail "LICENSE differs"
if command -v man >/dev/null; then
  MANPATH=$prefix/share/man MANWIDTH=80 LC_ALL=C.UTF-8 man userlens 2>&1 | grep -q 'USERLENS(1)' ||
    fail "man userlens does not find the installed page"
fi
if command -v objdump >/dev/null; then
  objdump -h "$prefix/bin/userlens" | grep -q '\.debug_info' && fail "--strip left debug information"
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "installed: $(echo $actual)"
