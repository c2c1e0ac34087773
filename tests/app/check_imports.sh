#!/usr/bin/env bash
# Checks that a built pivotel.exe runs on a bare Windows machine as the program it should be:
# a 64-bit (PE32+, x86-64) Windows GUI program that imports only DLLs that come with Windows, so
# no MinGW run time (libstdc++, libgcc, libwinpthread) has to be shipped beside it. Every
# problem found is reported; the exit status is 1 when there is any.
#   check_imports.sh program.exe [objdump]
set -u
exe=${1:?usage: check_imports.sh program.exe [objdump]}
objdump=${2:-x86_64-w64-mingw32-objdump}

if ! dump=$("$objdump" -p "$exe" 2>&1); then
    echo "check_imports: $objdump cannot read $exe: $dump" >&2
    exit 1
fi

# System DLLs, lower case; api-ms-win-crt-* (the universal C run time) is allowed by pattern.
allowed=" kernel32.dll user32.dll gdi32.dll gdiplus.dll shell32.dll shlwapi.dll comdlg32.dll comctl32.dll
          psapi.dll ole32.dll oleaut32.dll advapi32.dll version.dll uxtheme.dll dwmapi.dll imm32.dll
          winmm.dll msvcrt.dll ucrtbase.dll "
allowed=" $(echo $allowed) "  # one space between names, also where the list breaks its lines

status=0
fail() {
    echo "check_imports: $exe: $*" >&2
    status=1
}

grep -Eq 'file format pei-x86-64' <<<"$dump" || fail "not an x86-64 PE image"
grep -Eq '^Magic[[:space:]]+020b[[:space:]]+\(PE32\+\)' <<<"$dump" || fail "not PE32+"
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]+\(Windows GUI\)' <<<"$dump" \
    || fail "not a Windows GUI program ($(grep -E '^Subsystem' <<<"$dump" | tr -s '\t ' ' '))"

dlls=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$dump" | tr -d '\r')
# Every Windows program imports KERNEL32; finding none means the listing was not understood.
grep -qix 'kernel32.dll' <<<"$dlls" || fail "no import of KERNEL32.dll found in the objdump listing"
while IFS= read -r dll; do
    [ -n "$dll" ] || continue
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    case "$lower" in
        api-ms-win-crt-*.dll) continue ;;
    esac
    [[ "$allowed" == *" $lower "* ]] || fail "imports $dll, which is not allowed (not a Windows system DLL)"
done <<<"$dlls"

if [ $status -eq 0 ]; then
    echo "check_imports: $exe is a PE32+ x86-64 GUI program importing only:" $dlls
fi
exit $status
