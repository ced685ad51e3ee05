#!/bin/bash
# Hostile account data on the Linux host: names and GECOS fields with "%", quotes, backslashes,
# control characters, fields of 64 KiB, invalid UTF-8, a name of 4,096 characters, an account in
# 1,000 groups, and lines that are no account at all. The real program runs in a private mount
# and UTS namespace over prepared /etc/passwd, /etc/group and /etc/shadow; every field must come
# out as it stands (or "?" for what the code page cannot hold), never a crash or a misread.
#
#   hostile.sh PATH-TO-USERLENS
#
# Needs root for the namespace; where it cannot be made, says why and exits 77 (skipped).
set -u
program=${1:?usage: hostile.sh PATH-TO-USERLENS}

hostname=hostile
. "$(dirname "$0")/../host/namespace.sh"
command -v setpriv >/dev/null || skip "setpriv (util-linux) is not installed"
cp "$program" "$work/bin/userlens" && chmod 755 "$work/bin/userlens" || exit 1
export LC_ALL=C

repeat() { head -c "$2" /dev/zero | tr '\0' "$1"; }
long_gecos=$(repeat g 65536)
long_home=/home/$(repeat h 65530)
long_name=$(repeat n 4096)
bad_utf8=$(printf 'bad \377\376 \303( \370\202\202 \355\240\200 ok \303\251')
control=$(printf 'bell\007 esc\033[31mred\033[0m tab\tend del\177')

{
  echo "root:x:0:0:root:/root:/bin/bash"
  echo 'pct%s%d%n:x:2001:2001:100% %s %d %x %n %%:/home/pct%s:/bin/sh'
  echo "o'brien:x:2002:2002:\"Quoted\" 'single':/home/o'brien:/bin/sh"
  echo 'back\slash:x:2003:2003:D\Users\x \\server\share\:/home/back\slash:/bin/sh'
  echo 'unix user\root:x:2013:2013:Not Root:/:/bin/sh'
  echo "ctrl:x:2004:2004:$control:/home/ctrl:/bin/sh"
  echo "longgecos:x:2005:2005:$long_gecos:/home/longgecos:/bin/sh"
  echo "longhome:x:2006:2006:Long Home:$long_home:/bin/sh"
  echo "badutf8:x:2007:2007:$bad_utf8:/home/badutf8:/bin/sh"
  echo "many:x:2008:2008:Many Groups:/home/many:/bin/sh"
  echo "$long_name:x:2009:2009:Long Name:/home/longname:/bin/sh"
  printf 'j\303\266rg:x:2010:2010:J\303\266rg:/home/jorg:/bin/sh\n'
  echo "bigid:x:4294967294:4294967294:Big:/:/bin/sh"
  echo "this line is no account"
  echo "toofew:x:2011"
  echo ":x:2012:2012:no name:/:/bin/sh"
} >"$work/etc/passwd"
{
  echo "root:x:0:"
  echo '%s%n:x:3001:pct%s%d%n'
  for i in $(seq -w 1 1000); do echo "g$i:x:$((4000 + 10#$i)):many"; done
} >"$work/etc/group"
{
  echo "root:*:19000:0:99999:7:::"
  echo 'pct%s%d%n:!:19000:0:99999:7:::'
  echo "badutf8:*:19000:0:99999:7:::"
} >"$work/etc/shadow"
printf 'passwd: files\ngroup: files\nshadow: files\nhosts: files\n' >"$work/etc/nsswitch.conf"
printf '127.0.0.1 localhost\n127.0.1.1 hostile.example.test hostile\n' >"$work/etc/hosts"
chmod 644 "$work/etc/passwd" "$work/etc/group" "$work/etc/nsswitch.conf" "$work/etc/hosts"
chmod 600 "$work/etc/shadow"

run root C.UTF-8 0 -- root
# The computer's name is its DNS name from the hosts file, as the program writes it.
computer=HOSTILE.EXAMPLE.TEST
has root "Username: $computer\\root"

# Each field as it stands, in UTF-8.
run pct C.UTF-8 0 -- 'pct%s%d%n'
has pct "Username: $computer\\pct%s%d%n"
has pct "  Full name: 100% %s %d %x %n %%"
has pct "  Home directory: /home/pct%s"
run quote C.UTF-8 0 -- "o'brien"
has quote "Username: $computer\\o'brien"
has quote "  Full name: \"Quoted\" 'single'"
run backslash C.UTF-8 0 -- 'back\slash'
has backslash "Username: $computer\\back\\slash"
has backslash '  Full name: D\Users\x \\server\share\'
has backslash "  SID: S-1-22-1-2003"
# A name that would be read as another account's is named with its domain, so its SID is its own.
run unix-root C.UTF-8 0 -- 'unix user\root'
has unix-root "Username: $computer\\Unix User\\unix user\\root"
has unix-root "  SID: S-1-22-1-2013"
run ctrl C.UTF-8 0 -- ctrl
has ctrl "  Full name: $control"
run longgecos C.UTF-8 0 -- longgecos
has longgecos "  Full name: $long_gecos"
run longhome C.UTF-8 0 -- longhome
has longhome "  Home directory: $long_home"
run longname C.UTF-8 0 -- "$long_name"
has longname "Username: $computer\\$long_name"
has longname "  Full name: Long Name"
run bigid C.UTF-8 0 -- bigid
has bigid "  SID: S-1-22-1-4294967294"
has bigid "  User ID: -2"

# Host text is UTF-8 whatever the locale; a byte that is no UTF-8 is the Latin-1 character of its
# value, so nothing is lost: shown in UTF-8, and as one "?" each in ASCII.
run badutf8 C.UTF-8 0 -- badutf8
has badutf8 "  Full name: $(printf 'bad \303\277\303\276 \303\203( \303\270\302\202\302\202 \303\255\302\240\302\200 ok \303\251')"
run badutf8-c C 0 -- badutf8
has badutf8-c "  Full name: bad ?? ?( ??? ??? ok ?"
run jorg-c C 0 -- "$(printf 'j\303\266rg')"
# Each character the code page cannot hold is one "?".
has jorg-c "Username: $computer\\j?rg"
has jorg-c "  Full name: J?rg"

# The list: every account once, as it stands, whatever the lines around it hold.
for locale in C.UTF-8 C; do
  run "list-$locale" "$locale" 0 -- /listusers
done
for account in root "o'brien" 'back\slash' ctrl longgecos longhome many \
  "$long_name" bigid; do
  prefix="          | "
  [ "$account" = root ] && prefix="   Yes    | "
  printf '%s%s\n' "$prefix" "$account" >"$work/line"
  count=$(grep -cxF -f "$work/line" "$work/list-C.UTF-8.out")
  [ "$count" = 1 ] || fail "list: '$(head -c 60 "$work/line")' is listed $count times"
done
has list-C.UTF-8 "          | badutf8"
# A line with no name is no account: no row without one.
hasnt list-C.UTF-8 "          | "
has list-C.UTF-8 "          | $(printf 'j\303\266rg')"
has list-C "          | j?rg"
# A locked password (shadow "!") is a disabled account.
has list-C.UTF-8 "          | pct%s%d%n (Disabled)"

# 1,000 groups: the named report lists every membership; the current user's token holds them
# all (more than the first 16,384-byte buffer of the token query).
# Each group once, with its own SID. Also through NSS, where another source follows the files.
for i in $(seq -w 1 1000); do printf '\\g%s (S-1-22-2-%d)\n' "$i" $((4000 + 10#$i)); done |
  sort >"$work/many.want"
for sources in files "files systemd"; do
  printf 'passwd: files\ngroup: %s\nshadow: files\nhosts: files\n' "$sources" \
    >"$work/etc/nsswitch.conf"
  tag=${sources// /-}
  run "many-named-$tag" C.UTF-8 0 -- many
  grep -oE '\\g[0-9]{4} \(S-1-22-2-[0-9]+\)$' "$work/many-named-$tag.out" | sort |
    cmp -s - "$work/many.want" ||
    fail "many ($sources): the named report does not list g0001..g1000 once each"
  run "many-current-$tag" C.UTF-8 0 setpriv --reuid=2008 --regid=2008 --init-groups --
  grep -oE '\\g[0-9]{4} \(S-1-22-2-[0-9]+\)$' "$work/many-current-$tag.out" | sort |
    cmp -s - "$work/many.want" ||
    fail "many ($sources): the current user's token does not hold g0001..g1000"
  has "many-current-$tag" "Username: $computer\\many"
done
printf 'passwd: files\ngroup: files\nshadow: files\nhosts: files\n' >"$work/etc/nsswitch.conf"

# A hostile name as the current user, with a hostile environment.
run pct-current C.UTF-8 0 setpriv --reuid=2001 --regid=2001 --clear-groups env \
  "HOSTILE=%s%n$control" --
has pct-current "Username: $computer\\pct%s%d%n"
has pct-current "HOSTILE=%s%n$control"

summary
