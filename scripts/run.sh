#!/usr/bin/env bash
# The run command: installs what is missing, builds pivotel.exe, lays out a ready folder
# (build/pivotel: pivotel.exe, setting.ini, icons\) and starts Pivotel under Wine in a virtual
# desktop. With a display it runs there until you exit it; with none it runs on a private Xvfb
# for a few seconds, leaves a screenshot in build/screenshot.png, and stops.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target pivotel

ready=build/pivotel
rm -rf "$ready"
mkdir -p "$ready"
cp build/windows/pivotel.exe "$ready/"
[ -f src/res/setting.ini ] && cp src/res/setting.ini "$ready/"
[ -d src/res/icons ] && cp -r src/res/icons "$ready/"
echo "Ready folder: $root/$ready"

export WINEPREFIX=$root/build/wine/run-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >/dev/null 2>&1 || true
fi
desktop=(explorer /desktop=Pivotel,1280x1024 "$(winepath -w "$root/$ready/pivotel.exe" 2>/dev/null)")

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    echo "Starting Pivotel on $DISPLAY (exit it from its tray icon, or close the Wine desktop)."
    exec wine "${desktop[@]}"
fi

display=
for n in $(seq 50 69); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    display=":$n"
    break
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'timeout 20 wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null' EXIT
export DISPLAY=$display
for _ in $(seq 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
echo "No display: running Pivotel headless on $DISPLAY."
wine "${desktop[@]}" >/dev/null 2>&1 &
# Give it time to start and draw its desktop, then take the picture and stop.
sleep 8
import -window root build/screenshot.png
echo "Screenshot of the desktop: $root/build/screenshot.png"
