#!/usr/bin/env bash
# The test command: installs what is missing, builds the host presets (plain and with
# AddressSanitizer/UndefinedBehaviorSanitizer) and the Windows preset, and runs every test layer:
# native unit tests, Windows tests under Wine, end-to-end scenarios in a Wine desktop. Prints the
# benchmark figures and the native line coverage at the end. Exits nonzero when anything fails.
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
    local prefix
    for prefix in build/wine/prefix build/windows/wine/prefix-en_US; do
        [ -d "$prefix" ] && WINEPREFIX="$root/$prefix" timeout 20 wineserver -k 2>/dev/null
    done
}
trap cleanup EXIT
source scripts/xvfb.sh
start_private_xvfb 70 89

step "native build" build native && step "native tests" ctest --preset native -j "$jobs"
step "native-asan build" build native-asan && step "native-asan tests" ctest --preset native-asan -j "$jobs"
step "native-tsan build" build native-tsan && step "native-tsan tests" ctest --preset native-tsan -j "$jobs"
# Counts from an earlier run would inflate the coverage figure.
coverage_tests() {
    find build/native-coverage -name '*.gcda' -delete && ctest --preset native-coverage -j "$jobs" >/dev/null
}
step "native-coverage build" build native-coverage && step "native-coverage tests" coverage_tests
# The README's run command in its headless mode, before any Wine test makes build/wine, as on a
# fresh clone: it must end with 0 and leave a screenshot that shows the ring menu.
run_headless() {
    if ! env -u DISPLAY timeout -k 10 600 bash scripts/run.sh >build/run-headless.log 2>&1; then
        tail -n 20 build/run-headless.log
        return 1
    fi
    python3 scripts/ring-shown.py build/screenshot.png
}
if step "windows build" build windows; then
    step "run command (headless)" run_headless
    step "windows tests (Wine)" ctest --preset windows -j "$jobs"
fi

if [ -x build/native/tests/bench/mouse_events_bench ]; then
    echo
    echo "==== benchmarks (figures only, never pass or fail)"
    build/native/tests/bench/mouse_events_bench --benchmark_min_time=0.2 --benchmark_color=false || true
fi
[ -x build/windows/tests/e2e/ring_step_bench.exe ] && { python3 tests/e2e/bench_ring.py || true; }

if [ -d build/native-coverage ]; then
    echo
    echo "==== line coverage of src/ by the native tests (gcovr)"
    # Searched in its build folder only: the Wine prefixes under build/ link to the whole disk.
    gcovr -r "$root" --filter "$root/src/" --print-summary -o build/native-coverage/coverage.txt \
        build/native-coverage || true
fi

echo
if [ ${#failed[@]} -gt 0 ]; then
    echo "FAILED: ${failed[*]}"
    exit 1
fi
echo "All test layers passed."
