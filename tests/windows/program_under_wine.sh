#!/bin/bash
# The Windows program under wine64: its usage text is byte for byte the Linux program's for each
# help switch, the user list ends normally after its header, an over-long argument is a range error, and a name the ANSI code page
# cannot hold is shown with "?" for each such character, never as another account's name.
# usage: program_under_wine.sh WINE64 WINDOWS_PROGRAM LINUX_PROGRAM
. "$(dirname "$0")/../checks.sh"
take wine exe linux -- "$@"

set -o pipefail
for switch in '/?' '/unknown' '-?' '?' '\?'; do
  expected=$("$linux" "$switch" | od -An -tx1) || fail "the Linux program's $switch exited with $?"
  actual=$("$wine" "$exe" "$switch" 2>/dev/null | od -An -tx1) || fail "$switch exited with $?"
  [ -n "$expected" ] || fail "the Linux program printed no usage for $switch"
  [ "$expected" = "$actual" ] || fail "usage for $switch differs from the Linux program's"
done

# Wine's NetUserEnum has no level 2 (124, ERROR_INVALID_LEVEL): the list ends quietly after the
# header, which is the Linux program's, byte for byte.
list=$("$wine" "$exe" /ListUsers 2>/dev/null | od -An -tx1)
status=$?
[ $status -eq 0 ] || fail "/listusers exited with $status"
header=$("$linux" /listusers | head -n 3 | od -An -tx1)
[ -n "$header" ] && [ "$list" = "$header" ] || fail "/listusers printed more or less than the header"

long=$(printf 'a%.0s' $(seq 1 4097))
output=$("$wine" "$exe" "$long" 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a 4097-character argument exited with $status"
[ "$output" = $'\r\nRange check error\r\n\r' ] || fail "a 4097-character argument printed: $output"

# 4,096 characters are a name: looked up, and not found.
exact=$(printf 'a%.0s' $(seq 1 4096))
output=$("$wine" "$exe" "$exact" 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a 4096-character argument exited with $status"
[ "$output" = $'\r\nUser: "'"$exact"$'" does not exist\r\n\r' ] ||
  fail "a 4096-character argument was not looked up as a name"

# No argument: the report on the user Wine runs as, which Wine's NetUserGetInfo does not give at
# level 3 (2140, NERR_InternalError, for a level it does not implement): the error alone. A missing account: only its error.
output=$("$wine" "$exe" 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "the report exited with $status"
[ "$output" = $'\r\nUnknown response from NetUserGetInfo: 2140\r\n\r' ] ||
  fail "the report printed: $output"
output=$("$wine" "$exe" nosuchuser-xyz 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a missing account exited with $status"
[ "$output" = $'\r\nUser: "nosuchuser-xyz" does not exist\r\n\r' ] ||
  fail "a missing account printed: $output"

# Under C.UTF-8 Wine's ANSI code page is 1252: without best fit, Ł, ∞ and Ā are each one "?"
# (best fit would make "lukasz8a", the name of another account), and so is 😀, which is two
# UTF-16 units.
output=$(LC_ALL=C.UTF-8 "$wine" "$exe" 'Łukasz∞Ā😀' 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a name outside the code page exited with $status"
[ "$output" = $'\r\nUser: "?ukasz???" does not exist\r\n\r' ] ||
  fail "a name outside the code page printed: $output"

finish "all checks passed"
