# Sourced by the scripts that need a private X display.
# start_private_xvfb FIRST LAST: starts Xvfb on the first free display number in FIRST..LAST,
# waits until it accepts clients, exports DISPLAY and sets xvfb_pid. Returns 1 when none is free.
# Safe under set -euo pipefail.
start_private_xvfb() {
    local n owner ready
    for n in $(seq "$1" "$2"); do
        # A lock left by a server that was killed outright does not hold the number.
        owner=$(cat "/tmp/.X$n-lock" 2>/dev/null || true)
        owner=${owner//[^0-9]/}
        [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null && continue
        ready=$(mktemp)
        Xvfb ":$n" -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
        xvfb_pid=$!
        # The server writes its number once it accepts clients; one that ends has lost the number
        # to a server started at the same moment.
        for _ in $(seq 100); do
            [ -s "$ready" ] || ! kill -0 "$xvfb_pid" 2>/dev/null && break
            sleep 0.1
        done
        if [ -s "$ready" ]; then
            rm -f "$ready"
            export DISPLAY=":$n"
            return 0
        fi
        rm -f "$ready"
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    done
    xvfb_pid=
    return 1
}
