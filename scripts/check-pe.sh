#!/usr/bin/env bash
# Checks the shipped executable: PE32 for i386, Windows GUI subsystem, no DLLs of the compiler's runtime.
set -u
exe=${1:?executable}
[ -f "$exe" ] || { echo "missing: $exe"; exit 1; }
dump=$(i686-w64-mingw32-objdump -p "$exe" 2>&1) || { echo "$dump"; exit 1; }
fail=0
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -qE '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump" || { echo "not a Windows GUI program"; fail=1; }
dlls=$(grep -E 'DLL Name:' <<<"$dump" | awk '{print $3}' | sort -u)
echo "imports: $(echo $dlls)"
if grep -qiE 'libstdc|libgcc|libwinpthread|mingw' <<<"$dlls"; then echo "needs a mingw runtime DLL"; fail=1; fi
[ $fail -eq 0 ] && echo "$exe: PE32 i386 GUI, no mingw runtime DLLs"
exit $fail
