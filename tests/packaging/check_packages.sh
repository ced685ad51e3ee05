#!/bin/bash
# CPack makes the Linux packages: a .tar.gz and a .deb, each holding the program, its manual
# page and its documents, and nothing else; the .deb names the package and its version, which
# its changelog's latest entry shows too, and depends on the package of each shared library
# the program needs and on no other; the program unpacked from it runs.
# usage: check_packages.sh BUILD_DIR WORK_DIR VERSION
. "$(dirname "$0")/../checks.sh"
take build work version -- "$@"

command -v dpkg-deb >/dev/null || { echo "skipped: dpkg-deb is not installed (dpkg)"; exit 77; }

rm -rf "$work"
mkdir -p "$work"
step "$work/cpack.log" cpack --config "$build/CPackConfig.cmake" -B "$work"

files=$(cat "$(dirname "$0")/installed_files.txt")

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
  [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "Architecture: $(field Architecture)"
  listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | LC_ALL=C sort)
  [ "$listed" = "$(echo "$files" | sed 's#^#./usr/#')" ] || fail "the .deb holds:
$listed"
  dpkg-deb -x "$deb" "$work/root"

  latest=$(gzip -dc "$work/root/usr/share/doc/userlens/changelog.gz" | head -n 1)
  case "$latest" in
    "userlens ($version) "*) ;;
    *) fail "the changelog's latest entry is not version $version: $latest" ;;
  esac

  # Depends, as "package (>= version), ...": the package of each library the program needs, and
  # only those (libstdc++ and libgcc may be linked into the program rather than shared).
  depends=$(field Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | LC_ALL=C sort -u | paste -sd' ')
  if command -v objdump >/dev/null; then
    needed=$(objdump -p "$work/root/usr/bin/userlens" | awk '$1 == "NEEDED" {print $2}')
    expected_depends=$(for library in $needed; do
      case $library in
        libc.so.6 | libm.so.6 | ld-linux*) echo libc6 ;;
        libstdc++.so.6) echo libstdc++6 ;;
        libgcc_s.so.1) echo libgcc-s1 ;;
        *) echo "unknown-package-of-$library" ;;
      esac
    done | LC_ALL=C sort -u | paste -sd' ')
    [ "$depends" = "$expected_depends" ] ||
      fail "Depends names [$depends]; the program needs [${needed//$'\n'/ }], so [$expected_depends]"
  else
    case " $depends " in *" libc6 "*) ;; *) fail "Depends names no libc6: $(field Depends)" ;; esac
  fi
  banner=$("$work/root/usr/bin/userlens" '/?' | head -n 1 | tr -d '\r')
  [ "$banner" = "Quornvale Userlens $version" ] || fail "the program from the .deb printed: $banner"
  if command -v objdump >/dev/null; then
    objdump -h "$work/root/usr/bin/userlens" | grep -q '\.debug_info' &&
      fail "the packaged program is not stripped"
  fi
fi

finish "packages: $(cd "$work" && echo *.tar.gz *.deb)"
