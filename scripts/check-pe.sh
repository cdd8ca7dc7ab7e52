#!/usr/bin/env bash
# Checks the shipped executable: PE32 for i386, Windows GUI subsystem, no DLLs of the compiler's runtime,
# sections page-aligned in the file (Wine maps such an image instead of copying it), and the DLLs that the
# game-exit start does not need imported on first use only.
#   check-pe.sh EXE [DELAYED...]   DELAYED: DLL names without .dll (default: the launcher's list)
set -u
exe=${1:?executable}
shift
delayed=("$@")
[ ${#delayed[@]} -gt 0 ] || delayed=(gdiplus comctl32 ole32 oleaut32 wininet)
[ -f "$exe" ] || { echo "missing: $exe"; exit 1; }
dump=$(i686-w64-mingw32-objdump -p "$exe" 2>&1) || { echo "$dump"; exit 1; }
fail=0
grep -q 'file format pei-i386' <<<"$dump" || { echo "not a PE32 i386 image"; fail=1; }
grep -qE '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump" || { echo "not a Windows GUI program"; fail=1; }
dlls=$(grep -E 'DLL Name:' <<<"$dump" | awk '{print $3}' | sort -u)
echo "imports: $(echo $dlls)"
if grep -qiE 'libstdc|libgcc|libwinpthread|mingw' <<<"$dlls"; then echo "needs a mingw runtime DLL"; fail=1; fi
align=$(awk '$1 == "FileAlignment" { print $2 }' <<<"$dump")
if [ $((16#${align:-0})) -lt 4096 ]; then echo "file alignment 0x$align: sections are not page-aligned"; fail=1; fi
# A delay import leaves the DLL's name in the image for the helper's LoadLibrary, but no import table entry.
names=$(strings -a "$exe" | tr 'A-Z' 'a-z')
for d in "${delayed[@]}"; do
    if grep -qix "$d.dll" <<<"$dlls"; then
        echo "$d.dll is imported at start, not on first use"
        fail=1
    elif ! grep -qx "$d.dll" <<<"$names"; then
        echo "$d.dll is not imported at all"
        fail=1
    fi
done
[ $fail -eq 0 ] && echo "$exe: PE32 i386 GUI, no mingw runtime DLLs, page-aligned, on first use: ${delayed[*]}"
exit $fail
