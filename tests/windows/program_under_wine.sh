#!/bin/bash
# The Windows program under wine64: its usage text is byte for byte the Linux program's, the
# user list ends normally, and an over-long argument is a range error.
set -u
wine=$1
exe=$2
linux=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for switch in '/?' '/unknown' '-?'; do
  expected=$("$linux" "$switch" | od -An -tx1)
  actual=$("$wine" "$exe" "$switch" 2>/dev/null | od -An -tx1)
  [ "$expected" = "$actual" ] || fail "usage for $switch differs from the Linux program's"
done

"$wine" "$exe" /ListUsers >/tmp/userlens-wine-list.$$ 2>/dev/null
status=$?
[ $status -eq 0 ] || fail "/listusers exited with $status"
head -c 25 /tmp/userlens-wine-list.$$ | grep -q 'Users on this computer:' || fail "/listusers printed no header"
rm -f /tmp/userlens-wine-list.$$

long=$(printf 'a%.0s' $(seq 1 4097))
output=$("$wine" "$exe" "$long" 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a 4097-character argument exited with $status"
[ "$output" = $'\r\nRange check error\r\n\r' ] || fail "a 4097-character argument printed: $output"

exact=$(printf 'a%.0s' $(seq 1 4096))
output=$("$wine" "$exe" "$exact" 2>/dev/null)
case "$output" in *"Range check error"*) fail "a 4096-character argument was refused" ;; esac

# No argument: the report on the user Wine runs as; a missing account: only the error.
"$wine" "$exe" >/dev/null 2>&1
status=$?
[ $status -eq 0 ] || [ $status -eq 1 ] || fail "the report exited with $status"
output=$("$wine" "$exe" nosuchuser-xyz 2>/dev/null)
status=$?
[ $status -eq 1 ] || fail "a missing account exited with $status"
case "$output" in
  $'\r\nUser: "nosuchuser-xyz" does not exist\r\n\r'|$'\r\nUnknown response from NetUserGetInfo: '*) ;;
  *) fail "a missing account printed: $output" ;;
esac

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
