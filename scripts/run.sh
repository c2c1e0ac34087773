#!/usr/bin/env bash
# The run command: installs what is missing, builds pivotel.exe and its installer for Windows users
# (build/PivotelSetup.exe), lays out a ready folder (build/pivotel: pivotel.exe, setting.ini, icons\)
# and the same files as an archive for portable use (build/pivotel.zip), and starts Pivotel under
# Wine in a virtual desktop. With a display it runs there until you exit it; with none it runs on a
# private Xvfb until the ring menu shows, leaves a screenshot of it in build/screenshot.png, and
# stops (status 1 when the ring never shows).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target pivotel pivotel_setup
cp build/windows/PivotelSetup.exe build/PivotelSetup.exe

ready=build/pivotel
rm -rf "$ready"
mkdir -p "$ready"
cp build/windows/pivotel.exe "$ready/"
[ -f src/res/setting.ini ] && cp src/res/setting.ini "$ready/"
[ -d src/res/icons ] && cp -r src/res/icons "$ready/"
# The same folder as an archive for Windows users: unpacked, it gives pivotel\ with the three.
rm -f build/pivotel.zip
python3 - "$ready" build/pivotel.zip <<'EOF'
import os, sys, zipfile
folder, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as out:
    for base, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(base, name)
            out.write(path, os.path.join("pivotel", os.path.relpath(path, folder)).replace(os.sep, "/"))
EOF
echo "Installer: $root/build/PivotelSetup.exe"
echo "Ready folder: $root/$ready"
echo "Archive: $root/build/pivotel.zip"

export WINEPREFIX=$root/build/wine/run-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >/dev/null 2>&1 || true
fi
desktop=(explorer /desktop=Pivotel,1280x1024 "$(winepath -w "$root/$ready/pivotel.exe" 2>/dev/null)")

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Starting Pivotel on $DISPLAY (exit it from its tray icon, or close the Wine desktop)."
    exec wine "${desktop[@]}"
fi

source scripts/xvfb.sh
start_private_xvfb 50 69
trap 'timeout 20 wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null' EXIT
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
echo "No display: running Pivotel headless on $DISPLAY."
wine "${desktop[@]}" >/dev/null 2>&1 &
# Hold side button 1 over the desktop until the ring menu of the shipped settings shows (Pivotel
# needs a few seconds to start), take the picture, let go over the centre (nothing runs) and stop.
# The short pauses let Wine see the pointer where xdotool put it before a button changes.
rm -f build/screenshot.png
shown=1
deadline=$((SECONDS + 90))
while [ $SECONDS -lt $deadline ]; do
    xdotool mousemove 640 512 sleep 0.3 mousedown 8 sleep 0.3 mousemove 640 430 sleep 0.5
    import -window root build/screenshot.png
    python3 scripts/ring-shown.py build/screenshot.png 640 512 >/dev/null && shown=0
    xdotool mousemove 640 512 sleep 0.3 mouseup 8
    [ $shown -eq 0 ] && break
    sleep 1
done
echo "Screenshot of the desktop: $root/build/screenshot.png"
if [ $shown -ne 0 ]; then
    echo "The ring menu did not show within 90 s." >&2
fi
exit $shown
