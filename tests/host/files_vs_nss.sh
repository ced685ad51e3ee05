#!/bin/bash
# The direct reader of the account files and NSS's files module give the same answers on the same
# files, odd and malformed lines included: comments, blank and indented lines, fields missing or
# in excess, numbers with signs, blanks, other bases or beyond 32 bits, names shared by two lines,
# inclusion rules of the compat format, a line of 70,000 characters, null bytes (NSS reads a line
# as a C string, up to its first), a file without a final new line, members whose names hold another's, two groups of one gid; looked up one by one and in
# batches. Runs in private mount and UTS namespaces over the prepared files.
#
#   files_vs_nss.sh FILES_VS_NSS
set -u
probe=${1:?usage: files_vs_nss.sh FILES_VS_NSS}
hostname=ulhost
. "$(dirname "$0")/namespace.sh"
cp "$probe" "$work/bin/probe" && chmod 755 "$work/bin/probe" || exit 1

long=$(head -c 70000 /dev/zero | tr '\0' g)
{
  echo 'root:x:0:0:root:/root:/bin/bash'
  echo '# a comment'
  echo '   # an indented comment'
  echo ''
  echo '   spaced:x:5:5::/:/bin/sh'
  echo 'toofew:x:2011'
  echo 'nouid:x::5:::'
  echo 'negative:x:-1:-2:neg:/:/bin/sh'
  echo 'big:x:4294967296:4294967297:big:/:/bin/sh'
  echo 'based:x:0x10:010::/:'
  echo 'signed:x:+5:5:::'
  echo 'blanks:x: 7 :7:::'
  echo 'leadingblank:x: 8:8:::'
  echo 'trailing:x:5:5:a:b:c:d:e'
  echo ':x:9:9:::'
  echo 'noshell:x:10:10:g:h'
  printf 'withcr:x:11:11:g:h:/bin/sh\r\n'
  echo 'this line is no account'
  echo '+::0:0:::'
  echo '-evil:::::'
  echo '+@netgroup::::::'
  echo 'dup:x:20:20:first:/:/bin/sh'
  echo 'dup:x:21:21:second:/:/bin/sh'
  echo "long:x:22:22:$long:/:/bin/sh"
  echo 'twin:x:20:20:same uid as dup:/:/bin/sh'
  echo 'alice:x:30:30::/:/bin/sh'
  echo 'bob:x:31:100::/:'
  printf 'nul\0evil:x:0:0::/:/bin/sh\n'
  printf 'cutgecos:x:40:40:Bob\0x:/h:/bin/sh\n'
  printf '\0hidden:x:41:41:::\n'
  printf 'last:x:23:23:no new line:/:/bin/sh'
} >"$etc/passwd"
{
  echo 'root:x:0:'
  echo '# comment'
  echo 'users:x:100:alice,bob'
  echo 'spaced:x:101: alice , bob '
  echo 'empty:x:102:,,alice,,'
  echo 'trail:x:103:alice,'
  echo ':x:104:alice'
  echo 'nogid:x::alice'
  echo 'badgid:x:1a:alice'
  echo 'short:x:105'
  echo 'dup:x:106:carol'
  echo 'dup:x:107:dave'
  echo 'within:x:109:malice,alicea,bobby'
  echo 'first:x:110:'
  echo 'second:x:110:alice'
  printf 'nulmembers:x:111:bob,al\0ice\n'
  printf 'nulname\0x:x:112:alice\n'
  echo '+:::'
  echo '-evil::0:'
  printf 'last:x:108:eve'
} >"$etc/group"
{
  echo 'root:*:19000:0:99999:7:::'
  echo 'nofields:!'
  echo 'empties:x::::::'
  echo 'negative:x:-5:-1:-1:-1:-1:-1:'
  echo 'wrap:x:2147483648:0:4294967295:7:10:4294967294:'
  echo 'over:x:4294967296:0:99999:7:::'
  echo 'maxed:x:19000:0:99999:7::4294967295:'
  echo 'spaced:x: +19000:0:99999:7:: +5:'
  echo 'bad:x:19000x:0:99999:7:::'
  echo 'flag:x:19000:0:99999:7:::12'
  echo 'badflag:x:19000:0:99999:7:::z'
  echo 'extra:x:1:2:3:4:5:6:7:8'
  echo 'eight:x:1:2:3:4:5:6'
  echo 'nine:x:1:2:3:4:5:6:'
  echo 'blankfield:x: 1:2:3:4:5:6:'
  echo 'trailingblank:x:1:2:3 '
  echo 'blankbefore:x:1:2:3:  4:5:6:7'
  echo 'a1:x'
  echo 'a2:x:'
  echo 'a3:x::'
  echo 'a4:x:::'
  echo 'a5:x::::'
  echo 'a6:x:::::'
  echo 'a7:x::::::'
  echo 'a8:x:::::::'
  echo 'a9:x::::::::'
  echo 'b3:x:1'
  echo 'b4:x:1:2'
  echo 'b5:x:1:2:3'
  echo 'b6:x:1:2:3:4'
  echo 'b7:x:1:2:3:4:5'
  echo 'b8:x:1:2:3:4:5:6'
  echo 'b9:x:1:2:3:4:5:6:7'
  echo 'c1:x:1:2:3::::'
  echo 'c2:x::2:3:4:5:6:7'
  echo 'c3:x:1::3:4:5:6:7'
  echo 'c4:x:1:2::4:5:6:7'
  echo 'c5:x:1:2:3::5:6:7'
  echo 'c6:x:1:2:3:4::6:7'
  echo 'c7:x:1:2:3:4:5::7'
  echo 'c8:x:1:2:3:4:5:6:'
  echo 'c9:x:::4:5:6:'
  echo 'd1:x:1:2:3:4:5:6:7:'
  printf 'e1:x:1:2:3:4\0:5:6:7\n'
  printf 'e2\0:x:1:2:3:4:5:6:7\n'
  echo '# comment'
  echo '#commented:!:1:2:3:4:5:6:7'
  echo '   spacedshadow:!:1:2:3:4:5:6:7'
  echo 'dupshadow:!:1:2:3:4:5:6:'
  echo 'dupshadow:$6$x:9:2:3:4:5:6:'
  echo '+evil::::::::'
  printf 'last:!:1:2:3:4:5:6:'
} >"$etc/shadow"
printf 'passwd: files\ngroup: files\nshadow: files\nhosts: files\n' >"$etc/nsswitch.conf"
printf '127.0.0.1 localhost\n' >"$etc/hosts"
chmod 644 "$etc"/*

for side in direct nss; do
  in_namespace C "$work/bin/probe" "$side" >"$work/$side.out" 2>&1 || fail "$side: the probe failed"
done
if diff -u "$work/nss.out" "$work/direct.out"; then
  passed=$((passed + 1))
else
  fail "the direct reader and NSS differ (- NSS, + direct)"
fi
[ "$(grep -c '^passwd' "$work/nss.out")" -ge 10 ] && passed=$((passed + 1)) ||
  fail "NSS read too few entries: the files were not the ones bound"
summary
