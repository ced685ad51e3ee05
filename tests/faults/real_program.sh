#!/bin/bash
# The real program on this host with a faulty standard output, no console, and an odd
# environment: it never crashes, never writes to standard error, and ends with the exit code of
# the run (0, or 1 when an error reached the command driver), whatever happened to its text.
#   real_program.sh PATH-TO-USERLENS
set -u
program=${1:?usage: real_program.sh PATH-TO-USERLENS}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
failures=0
passed=0

# check NAME EXPECTED-EXIT-CODE ACTUAL-EXIT-CODE [STDERR-FILE]
check() {
  local name=$1 expected=$2 actual=$3 stderr=${4:-}
  if [ "$actual" != "$expected" ]; then
    echo "FAIL: $name: exit code $actual, expected $expected"
    failures=$((failures + 1))
  elif [ -n "$stderr" ] && [ -s "$stderr" ]; then
    echo "FAIL: $name: wrote to standard error:"
    head -20 "$stderr"
    failures=$((failures + 1))
  else
    passed=$((passed + 1))
  fi
}

missing=no_such_account_$$

for args in "/?" "/listusers" "" "root" "$missing"; do
  expected=0
  [ "$args" = "$missing" ] && expected=1
  label="userlens ${args:-(no argument)}"

  "$program" ${args:+"$args"} >&- 2>"$work/err"
  check "$label, standard output closed" $expected $? "$work/err"

  "$program" ${args:+"$args"} >/dev/full 2>"$work/err"
  check "$label, standard output /dev/full" $expected $? "$work/err"

  "$program" ${args:+"$args"} <&- >&- 2>"$work/err"
  check "$label, standard input and output closed" $expected $? "$work/err"

  # The reader is gone before the program starts: every write fails with EPIPE, and SIGPIPE
  # must not end the program.
  perl -e '$SIG{PIPE} = "DEFAULT"; pipe(my $r, my $w) or die; close $r; open(STDOUT, ">&", $w) or die;
    exec { $ARGV[0] } @ARGV or die' "$program" ${args:+"$args"} 2>"$work/err"
  check "$label, standard output a broken pipe" $expected $? "$work/err"

  # No controlling terminal, so no console. (The shell's "_" names the command it ran, so it is
  # taken out of both environments.)
  setsid -w env -u _ "$program" ${args:+"$args"} </dev/null >"$work/out" 2>"$work/err"
  check "$label, no console" $expected $? "$work/err"
  env -u _ "$program" ${args:+"$args"} </dev/null >"$work/plain" 2>/dev/null
  if ! cmp -s "$work/out" "$work/plain"; then
    echo "FAIL: $label, no console: the text differs from a run with a file as output"
    failures=$((failures + 1))
  fi
done

# An empty environment (C locale, no variables) and a very long variable.
env -i "$program" >"$work/out" 2>"$work/err"
check "userlens, empty environment" 0 $? "$work/err"
# (130,000 bytes: the kernel takes no single variable of more than 128 KiB.)
long=$(head -c 130000 /dev/zero | tr '\0' 'x')
USERLENS_LONG_VALUE=$long "$program" >"$work/out" 2>"$work/err"
check "userlens, a variable of 130,000 bytes" 0 $? "$work/err"
echo "USERLENS_LONG_VALUE=$long" >"$work/line"
if ! tr -d '\r' <"$work/out" | grep -qxF -f "$work/line"; then
  echo "FAIL: userlens, a variable of 130,000 bytes: the line is not printed whole"
  failures=$((failures + 1))
fi

# A first argument of 4,097 characters is a range check error; 4,096 is a name.
"$program" "$(head -c 4097 /dev/zero | tr '\0' 'a')" >"$work/out" 2>"$work/err"
check "userlens with an argument of 4,097 characters" 1 $? "$work/err"
if [ "$(cat "$work/out")" != $'\r\nRange check error\r\n\r' ]; then
  echo "FAIL: userlens with an argument of 4,097 characters: printed $(head -c 200 "$work/out")"
  failures=$((failures + 1))
fi

echo "$passed passed, $failures failed"
[ $failures -eq 0 ]
