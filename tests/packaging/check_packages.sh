#!/bin/bash
# CPack makes the Linux packages: a .tar.gz and a .deb, each holding the program, its manual
# page and its documents, and nothing else; the .deb names the package, its version and the
# libraries it needs, and the program unpacked from it runs.
# usage: check_packages.sh BUILD_DIR WORK_DIR VERSION
set -u
build=$1
work=$2
version=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

command -v dpkg-deb >/dev/null || { echo "skipped: dpkg-deb is not installed (dpkg)"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; echo "FAIL: cpack exited with an error"; exit 1; }

files='bin/userlens
share/doc/userlens/LICENSE
share/doc/userlens/README.md
share/man/man1/userlens.1.gz'

shopt -s nullglob
tarballs=("$work"/userlens-"$version"-linux-*.tar.gz)
debs=("$work"/userlens_"$version"_*.deb)
[ ${#tarballs[@]} -eq 1 ] || fail "expected one userlens-$version-linux-*.tar.gz, found: ${tarballs[*]:-none}"
[ ${#debs[@]} -eq 1 ] || fail "expected one userlens_${version}_*.deb, found: ${debs[*]:-none}"

if [ ${#tarballs[@]} -eq 1 ]; then
  top=$(basename "${tarballs[0]}" .tar.gz)
  listed=$(cmake -E tar tf "${tarballs[0]}" | grep -v '/$' | LC_ALL=C sort)
  [ "$listed" = "$(echo "$files" | sed "s#^#$top/#")" ] || fail "the .tar.gz holds:
$listed"
fi

if [ ${#debs[@]} -eq 1 ]; then
  deb=${debs[0]}
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = userlens ] || fail "Package: $(field Package)"
  [ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
  [ "$(field Section)" = admin ] || fail "Section: $(field Section)"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ "$(field Architecture)" = "$(dpkg --print-architecture 2>/dev/null || field Architecture)" ] ||
    fail "Architecture: $(field Architecture)"
  depends=$(field Depends)
  for library in libc6 libstdc++6; do
    case "$depends" in *"$library"*) ;; *) fail "Depends names no $library: $depends" ;; esac
  done
  listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
  [ "$listed" = "$(echo "$files" | sed 's#^#./usr/#')" ] || fail "the .deb holds:
$listed"
  dpkg-deb -x "$deb" "$work/root"
  banner=$("$work/root/usr/bin/userlens" '/?' | head -n 1 | tr -d '\r')
  [ "$banner" = "Quornvale Userlens $version" ] || fail "the program from the .deb printed: $banner"
  if command -v objdump >/dev/null; then
    objdump -h "$work/root/usr/bin/userlens" | grep -q '\.debug_info' &&
      fail "the packaged program is not stripped"
  fi
fi

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "packages: $(cd "$work" && echo *.tar.gz *.deb)"
