#!/bin/sh
# The shipped program is a stripped PE32 console executable that needs no DLL beyond Windows' own.
set -eu
objdump=$1
exe=$2
headers=$("$objdump" -p "$exe")
echo "$headers" | grep -q 'file format pei-i386' || { echo "not a PE32 (i386) executable"; exit 1; }
echo "$headers" | grep -Eq 'Subsystem[[:space:]]+00000003' || { echo "not a console program"; exit 1; }
dlls=$(echo "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
echo "imports: $(echo $dlls)"
case " $(echo $dlls) " in *" KERNEL32.DLL "*) ;; *) echo "no import of KERNEL32.DLL was read"; exit 1 ;; esac
for dll in $dlls; do
  case "$dll" in
    KERNEL32.DLL|ADVAPI32.DLL|NETAPI32.DLL|USER32.DLL|MSVCRT.DLL) ;;
    *) echo "imports a DLL that is not Windows' own: $dll"; exit 1 ;;
  esac
done
"$objdump" -t "$exe" | grep -q 'no symbols' || { echo "not stripped: it has a symbol table"; exit 1; }
if "$objdump" -h "$exe" | grep -q '\.debug'; then echo "not stripped: it has debug sections"; exit 1; fi
echo "size: $(wc -c <"$exe") bytes"
echo "PE32 console program, stripped, Windows DLLs only"
