#!/bin/bash
# CPack, in the 32-bit Windows build, makes the ZIP: USERLENS.EXE, README.md and LICENSE.txt
# and nothing else. The program in it is a stripped PE32 console executable that needs no DLL
# beyond Windows' own and still carries its version resource and manifest.
# usage: check_zip.sh WINDOWS_BUILD_DIR WORK_DIR VERSION SOURCE_DIR OBJDUMP RESOURCE_TESTS PROGRAM
. "$(dirname "$0")/../checks.sh"
take build work version source objdump resource_tests program -- "$@"

rm -rf "$work"
mkdir -p "$work"
step "$work/cpack.log" cpack --config "$build/CPackConfig.cmake" -B "$work"

top=userlens-$version-win32
zip=$work/$top.zip
[ -f "$zip" ] || { ls "$work"; echo "FAIL: no $top.zip"; exit 1; }
listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
expected="$top/LICENSE.txt
$top/README.md
$top/USERLENS.EXE"
[ "$listed" = "$expected" ] || fail "the ZIP holds:
$listed"

mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
exe=$work/unpacked/$top/USERLENS.EXE
cmp -s "$work/unpacked/$top/README.md" "$source/README.md" || fail "README.md differs"
cmp -s "$work/unpacked/$top/LICENSE.txt" "$source/LICENSE" || fail "LICENSE.txt is not LICENSE"
# The copy that ships went through CPack's own strip: the program's checks hold for it as well.
pe=$("$source/tests/windows/check_pe.sh" "$objdump" "$exe" 2>&1) ||
  fail "the packaged USERLENS.EXE: $pe"
USERLENS_WINDOWS_PROGRAM=$exe USERLENS_LINUX_PROGRAM=$program USERLENS_VERSION=$version \
  "$resource_tests" --gtest_brief=1 || fail "the resources of the packaged USERLENS.EXE"

finish "ZIP: $(echo $listed)"
