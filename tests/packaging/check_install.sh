#!/bin/bash
# `cmake --install` into a fresh prefix puts the program, its manual page and its documents in
# the usual places, and nothing else; the installed program runs and the page renders. The
# compressed files carry no date, and the machine-readable copyright file states LICENSE.
# usage: check_install.sh BUILD_DIR WORK_DIR SOURCE_DIR
. "$(dirname "$0")/../checks.sh"
take build work source -- "$@"

rm -rf "$work"
mkdir -p "$work"
prefix=$work/prefix
step "$work/install.log" cmake --install "$build" --prefix "$prefix" --strip

expected=$(cat "$(dirname "$0")/installed_files.txt")
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's#^\./##' | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "installed files differ from the expected ones:
$(diff <(echo "$expected") <(echo "$actual"))"

[ -x "$prefix/bin/userlens" ] || fail "bin/userlens is not executable"
banner=$("$prefix/bin/userlens" '/?' | head -n 2 | tr -d '\r')
[ "${banner#Quornvale Userlens }" != "$banner" ] || fail "the installed program printed: $banner"
# The program's own copyright line, and the manual page's, name the holder as LICENSE does.
licence_line=$(sed -n '/^Copyright (c) /{p;q;}' "$source/LICENSE")
[ "$(sed -n 2p <<<"$banner")" = "$licence_line" ] ||
  fail "the program's copyright line is not LICENSE's: $(sed -n 2p <<<"$banner")"
manual_line=$(sed -n '/^\.SH COPYRIGHT/{n;s/\\(co/(c)/;p;q;}' "$source/docs/userlens.1")
[ "$manual_line" = "$licence_line" ] || fail "the manual page's copyright is not LICENSE's: $manual_line"

gzip -dc "$prefix/share/man/man1/userlens.1.gz" | cmp -s - "$source/docs/userlens.1" ||
  fail "the installed manual page is not docs/userlens.1"
cmp -s "$prefix/share/doc/userlens/README.md" "$source/README.md" || fail "README.md differs"
cmp -s "$prefix/share/doc/userlens/LICENSE" "$source/LICENSE" || fail "LICENSE differs"
gzip -dc "$prefix/share/doc/userlens/changelog.gz" | cmp -s - "$source/packaging/changelog" ||
  fail "the installed changelog.gz is not packaging/changelog"

# gzip keeps a date in bytes 4 to 7 of its header unless told not to (-n).
for file in share/man/man1/userlens.1.gz share/doc/userlens/changelog.gz; do
  date=$(od -An -tu4 -j4 -N4 "$prefix/$file" | tr -d ' ')
  [ "$date" = 0 ] || fail "$file carries a date in its gzip header: $date"
done

# The copyright file (Debian's format) and LICENSE name the same holder and the same terms: the
# Copyright field is LICENSE's copyright line, and the stand-alone Expat paragraph, indented
# one space with "." for empty lines, is LICENSE from its permission notice on.
copyright=$prefix/share/doc/userlens/copyright
holder=$(sed -n 's/^Copyright (c) //p' "$source/LICENSE")
grep -qxF "Copyright: $holder" "$copyright" || fail "copyright does not state: Copyright: $holder"
terms=$(sed -n '/^License: Expat$/,$p' "$copyright" | sed -n '/^ /{s/^ \.$//;s/^ //;p;}')
expected_terms=$(sed -n '/^Permission is hereby granted/,$p' "$source/LICENSE")
if [ -z "$terms" ] || [ "$terms" != "$expected_terms" ]; then
  fail "the licence in copyright is not LICENSE's:
$(diff <(echo "$expected_terms") <(echo "$terms"))"
fi
if command -v man >/dev/null; then
  MANPATH=$prefix/share/man MANWIDTH=80 LC_ALL=C.UTF-8 man userlens 2>&1 | grep -q 'USERLENS(1)' ||
    fail "man userlens does not find the installed page"
fi
if command -v objdump >/dev/null; then
  objdump -h "$prefix/bin/userlens" | grep -q '\.debug_info' && fail "--strip left debug information"
fi

finish "installed: $(echo $actual)"
