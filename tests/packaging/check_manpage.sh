#!/bin/bash
# The manual page renders without a warning (groff -ww, mandoc -Tlint, man -l) and keeps step
# with the program: its title carries the banner's name and version, and it shows the usage
# text's syntax line and every option the usage text lists.
# usage: check_manpage.sh PAGE PROGRAM
. "$(dirname "$0")/../checks.sh"
take page program -- "$@"
export LC_ALL=C.UTF-8

command -v groff >/dev/null || { echo "skipped: groff is not installed (groff-base)"; exit 77; }

messages=$(groff -ww -man -z "$page" 2>&1) || fail "groff -ww -man -z exited with $?"
[ -z "$messages" ] || fail "groff -ww -man -z: $messages"

if command -v mandoc >/dev/null; then
  messages=$(mandoc -Tlint "$page" 2>&1) || fail "mandoc -Tlint exited with $?"
  [ -z "$messages" ] || fail "mandoc -Tlint: $messages"
else
  echo "note: mandoc is not installed; groff alone checked the page"
fi

if command -v man >/dev/null; then
  rendered=$(MANWIDTH=80 man --warnings -l "$page" 2>/dev/null)
  messages=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$messages" ] || fail "man --warnings -l: $messages"
  case "$rendered" in *USERLENS\(1\)*) ;; *) fail "man -l rendered no USERLENS(1) page" ;; esac
else
  echo "note: man is not installed; the page was not rendered by man"
fi

usage=$("$program" '/?') || fail "$program '/?' exited with $?"
usage=$(printf '%s\n' "$usage" | tr -d '\r')
banner=$(printf '%s\n' "$usage" | head -n 1)
[ -n "$banner" ] || fail "the program printed no banner"
title=$(grep -m1 '^\.TH ' "$page")
case "$title" in *"\"$banner\""*) ;; *) fail "the title line does not carry \"$banner\": $title" ;; esac

# The line after "Syntax:", and every option line of the usage text (two blanks, a slash).
syntax=$(printf '%s\n' "$usage" | sed -n '/^Syntax:$/{n;s/^ *//;p;}')
[ -n "$syntax" ] || fail "the usage text has no syntax line"
grep -qxF "$syntax" "$page" || fail "the page does not show the syntax line: $syntax"
options=$(printf '%s\n' "$usage" | sed -n 's#^  \(/[A-Za-z]*\)$#\1#p')
[ -n "$options" ] || fail "the usage text lists no option"
for option in $options; do
  grep -qE "^\.B $option\$" "$page" || fail "the page has no entry for the option $option"
done

finish "manual page clean and in step with the usage text ($(echo $options))"
