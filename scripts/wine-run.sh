#!/usr/bin/env bash
# Runs one Windows program under Wine the way every test expects: the project's own prefix
# inside the build folder, code page 932, no debug noise, an X display (a private Xvfb when none
# is set), and a hard time-out so that a hung program fails instead of hanging the run.
#   wine-run.sh program.exe [arguments...]
# PIVOTEL_WINEPREFIX overrides the prefix; PIVOTEL_WINE_LOCALE the locale, whose code page Wine
# takes as the system's (ja_JP.UTF-8: 932); PIVOTEL_WINE_TIMEOUT the time-out in seconds (120).
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${PIVOTEL_WINEPREFIX:-$here/../build/wine/prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=${PIVOTEL_WINE_LOCALE:-ja_JP.UTF-8} LC_ALL=${PIVOTEL_WINE_LOCALE:-ja_JP.UTF-8}
timeout_s=${PIVOTEL_WINE_TIMEOUT:-120}

# A new prefix is made once; concurrent callers wait for the first one.
mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        timeout 300 wineboot -i >/dev/null 2>&1
        timeout 60 wineserver -w
    fi
) 9>"$WINEPREFIX.lock"

xvfb_pid=
cleanup() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    source "$here/xvfb.sh"
    start_private_xvfb 90 140
fi

timeout -k 5 "$timeout_s" wine "$@"
status=$?
[ $status -eq 124 ] && echo "wine-run: '$1' timed out after ${timeout_s}s" >&2
exit $status
