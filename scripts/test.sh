#!/usr/bin/env bash
# The test command: installs what is missing, builds the host presets (plain and with
# AddressSanitizer/UndefinedBehaviorSanitizer) and the Windows preset, and runs every test layer:
# native unit tests, Windows tests under Wine, end-to-end scenarios in a Wine desktop. Prints the
# benchmark figures at the end. Exits nonzero when anything fails.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash scripts/deps.sh || exit 1

jobs=${PIVOTEL_JOBS:-$(nproc)}
failed=()
step() {
    local name=$1
    shift
    echo
    echo "==== $name"
    if ! "$@"; then
        failed+=("$name")
        return 1
    fi
}

build() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs"
}

# One private display for every Wine test that is not end to end (those start their own).
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    if [ -d build/wine/prefix ]; then
        WINEPREFIX="$root/build/wine/prefix" timeout 20 wineserver -k 2>/dev/null
    fi
}
trap cleanup EXIT
for n in $(seq 70 89); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && break
        sleep 0.1
    done
    export DISPLAY=":$n"
    break
done

step "native build" build native && step "native tests" ctest --preset native -j "$jobs"
step "native-asan build" build native-asan && step "native-asan tests" ctest --preset native-asan -j "$jobs"
step "native-tsan build" build native-tsan && step "native-tsan tests" ctest --preset native-tsan -j "$jobs"
step "windows build" build windows && step "windows tests (Wine)" ctest --preset windows -j "$jobs"

if [ -x build/native/tests/bench/mouse_events_bench ]; then
    echo
    echo "==== benchmarks (figures only, never pass or fail)"
    build/native/tests/bench/mouse_events_bench --benchmark_min_time=0.2 || true
fi

echo
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test layers passed."
