#!/usr/bin/env bash
# Checks the headers of a cross-built skorvane.exe: a PE image of the expected width, for the GUI
# subsystem, entered through WinMain, importing nothing but DLLs every Windows installation has
# (so it runs copied alone onto a bare machine). It does not run the program.
# Usage: check_imports.sh OBJDUMP skorvane.exe PROCESSOR   (PROCESSOR as CMAKE_SYSTEM_PROCESSOR)
set -euo pipefail
objdump=$1
exe=$2
processor=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

headers=$("$objdump" -p "$exe")
case "$processor" in
x86) format=pei-i386 magic='010b	(PE32)' ;;
AMD64) format=pei-x86-64 magic='020b	(PE32+)' ;;
*) fail "unknown processor '$processor'" ;;
esac
grep -q "file format $format\$" <<<"$headers" || fail "not a $format image"
grep -q "^Magic[[:space:]]*$magic" <<<"$headers" || fail "optional header magic is not $magic"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not a Windows GUI program"
symbols=$("$objdump" -t "$exe")
grep -Eq '[[:space:]]_?WinMain(@16)?$' <<<"$symbols" || fail "no WinMain in the program"

mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
echo "imports: ${imports[*]}"
system_dlls=" kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll msvcrt.dll "
for dll in "${imports[@]}"; do
    [[ "$system_dlls" == *" $dll "* ]] || fail "imports $dll, which is not a system DLL"
done
for dll in user32.dll gdi32.dll opengl32.dll glu32.dll; do
    [[ " ${imports[*]} " == *" $dll "* ]] || fail "does not import $dll"
done
echo "PASS: $format GUI program entered through WinMain, importing only system DLLs"
