# Sourced by the scripts that need a private X display.
# start_private_xvfb FIRST LAST: starts Xvfb on the first free display number in FIRST..LAST,
# waits until it accepts clients, exports DISPLAY and sets xvfb_pid. Returns 1 when none is free.
start_private_xvfb() {
    local n
    for n in $(seq "$1" "$2"); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        export DISPLAY=":$n"
        return 0
    done
    return 1
}
