#!/bin/bash
# The same commit, built twice, gives the same bytes: the program and every package (Linux: the
# program, the .deb and the .tar.gz; Windows: USERLENS.exe and the ZIP with the stripped
# USERLENS.EXE). The first build takes the checked-out sources as they are and leaves
# SOURCE_DATE_EPOCH unset, so that the build takes it from the last commit. The second differs
# wherever a build could leak into what it makes: a copy of the sources at another path, one
# level deeper, with the build folder inside it; SOURCE_DATE_EPOCH set to the commit's time;
# umask 002; a time zone 12:45 hours east of UTC; another locale; and, when the test runs as
# root, another user (nobody). Every archive lists its entries in sorted order, so that their
# order does not depend on how a file system lists a folder. On a difference, diffoscope (when
# installed) shows where the files differ.
# usage: check_reproducible.sh SOURCE_DIR WORK_DIR linux|windows-i686 BUILD_TYPE GENERATOR
. "$(dirname "$0")/../checks.sh"
take source work kind build_type generator -- "$@"

case $kind in
  linux)
    options=(-DUSERLENS_WINDOWS_BUILDS=OFF)
    program=src/userlens
    ;;
  windows-i686)
    command -v i686-w64-mingw32-g++-posix >/dev/null ||
      { echo "skipped: MinGW-w64 (g++-mingw-w64-i686-posix) is not installed"; exit 77; }
    command -v zip >/dev/null ||
      { echo "skipped: zip (Info-ZIP), which writes the ZIP in a fixed order, is not installed"; exit 77; }
    options=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake)
    program=src/USERLENS.exe
    ;;
  *)
    echo "usage: check_reproducible.sh SOURCE_DIR WORK_DIR linux|windows-i686 BUILD_TYPE GENERATOR"
    exit 2
    ;;
esac

rm -rf "$work"
mkdir -p "$work"
unset SOURCE_DATE_EPOCH
epoch=$(git -C "$source" log -1 --format=%ct 2>/dev/null)
if [ -z "$epoch" ]; then
  # Not a checkout (or no git): both builds get the same date, so the commit's is not checked.
  epoch=$(date -r "$source/CMakeLists.txt" +%s)
  echo "note: no commit to take the date from; both builds use SOURCE_DATE_EPOCH=$epoch"
  export SOURCE_DATE_EPOCH=$epoch
fi

# build NAME SOURCE BUILD [COMMAND...]: configures, builds the program and packages it into
# BUILD/packages, each step run by COMMAND (none: as it is).
build() {
  local name=$1 src=$2 dir=$3
  shift 3
  local log=$work/$name.log
  echo "$name build: sources $src, build folder $dir"
  { "$@" cmake -S "$src" -B "$dir" -G "$generator" -DCMAKE_BUILD_TYPE="$build_type" \
      -DUSERLENS_TESTS=OFF "${options[@]}" &&
      "$@" cmake --build "$dir" --target userlens -j2 &&
      "$@" cpack --config "$dir/CPackConfig.cmake" -B "$dir/packages"; } >"$log" 2>&1 ||
    { tail -n 40 "$log"; echo "FAIL: the $name build failed (log: $log)"; exit 1; }
}

build first "$source" "$work/first"

# The copy leaves out the build folders, this test's own among them.
copy=$work/second/sources-copied-elsewhere
mkdir -p "$copy"
excludes=(--exclude-vcs --exclude=./build --exclude=./out)
case $work in "$source"/*) inside=${work#"$source"/} && excludes+=("--exclude=./${inside%%/*}") ;; esac
tar -C "$source" "${excludes[@]}" -cf - . | tar -C "$copy" -xf - ||
  { echo "FAIL: could not copy the sources"; exit 1; }
# Where the second build sees its folder: as it is, or, when the folders above it let no other
# user in (a checkout in /root), bound to /mnt in a mount namespace of the build's own.
seen=$work/second
nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
as_nobody=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && chown -R 65534:65534 "$work/second"; then
  if "${nobody[@]}" test -w "$copy"; then
    as_nobody=("${nobody[@]}")
  elif [ -d /mnt ] && unshare -m --propagation private true 2>/dev/null; then
    seen=/mnt
    as_nobody=(unshare -m --propagation private sh -c 'mount --bind "$1" /mnt && shift 2 && exec "$@"'
               sh "$work/second" -- "${nobody[@]}")
  fi
fi
if [ ${#as_nobody[@]} -gt 0 ]; then
  echo "the second build runs as user 65534 (nobody)"
else
  echo "note: the second build runs as the same user as the first (it takes root, setpriv, and a" \
    "work folder others may enter or a mount namespace to bind it into)"
fi
elsewhere=("${as_nobody[@]}" env HOME="$seen" SOURCE_DATE_EPOCH="$epoch" TZ=XST-12:45
           LC_ALL=C.UTF-8 sh -c 'umask 002 && exec "$@"' sh)
seen_copy=$seen/${copy#"$work/second/"}
build second "$seen_copy" "$seen_copy/build/$kind-again" "${elsewhere[@]}"

# The files to compare: the program, then the packages by name.
first=$work/first
second=$copy/build/$kind-again
files=("$program")
shopt -s nullglob
for package in "$first"/packages/*.deb "$first"/packages/*.tar.gz "$first"/packages/*.zip; do
  files+=("packages/${package##*/}")
done
[ ${#files[@]} -gt 1 ] || fail "the first build made no package"

for file in "${files[@]}"; do
  if [ ! -f "$second/$file" ]; then
    fail "the second build made no $file"
  elif cmp -s "$first/$file" "$second/$file"; then
    echo "same bytes: $file ($(stat -c %s "$first/$file") bytes, sha256 $(sha256sum <"$first/$file" | cut -c1-16))"
  else
    fail "$file differs between the two builds"
    if command -v diffoscope >/dev/null; then
      diffoscope --text - "$first/$file" "$second/$file" 2>&1 | head -n 200
    else
      echo "note: diffoscope is not installed; the first differing bytes:"
      cmp -l "$first/$file" "$second/$file" | head -n 10
    fi
  fi
done

# Every archive in sorted order (a .deb: its data archive).
sorted() { [ "$(printf '%s\n' "$1")" = "$(printf '%s\n' "$1" | LC_ALL=C sort)" ]; }
for package in "$first"/packages/*.tar.gz "$first"/packages/*.zip; do
  listed=$(cmake -E tar tf "$package") && [ -n "$listed" ] || fail "${package##*/} lists nothing"
  sorted "$listed" || fail "${package##*/} lists its entries out of order:
$listed"
done
command -v dpkg-deb >/dev/null || echo "note: dpkg-deb is not installed; the .deb's order is not checked"
for package in "$first"/packages/*.deb; do
  command -v dpkg-deb >/dev/null || break
  listed=$(dpkg-deb --fsys-tarfile "$package" | tar tf -)
  [ -n "$listed" ] || fail "${package##*/} lists nothing"
  sorted "$listed" || fail "${package##*/} lists its entries out of order:
$listed"
done

finish "the two builds of the $kind program and packages are byte for byte the same"
