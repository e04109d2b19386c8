#!/usr/bin/env bash
# Frame pacing of the real program, side by side in one run: presents per second, the CPU share of
# one core and the CPU time per presented frame (all threads, the driver's rasteriser threads
# included), read by the frame probe over 10 s after the first 2 s. Under Xvfb with Mesa's
# llvmpipe at its default thread count, with LP_NUM_THREADS=0 and =2, and with softpipe; then
# natively on Wayland and through Xwayland under weston nested in the same Xvfb (as the Wayland
# tests start it), against weston's own refresh. Not part of the test suite; figures only.
#
# Usage: bench/pacing_bench.sh [PROGRAM]   (default build/default/shell/skorvane)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/default/shell/skorvane}")
seconds=${PACING_BENCH_SECONDS:-12.5}
results=$(mktemp -d)
source tools/xvfb_session.sh
weston_pid=""
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
    xvfb_stop
    rm -rf "$results"
}
trap cleanup EXIT
xvfb_start
export LIBGL_ALWAYS_SOFTWARE=1
preload=$(probe_preload "$program")

# run NAME [VAR=VALUE...]: the program for $seconds with the probe, ended by SIGTERM.
run() {
    local name=$1 pid
    shift
    env "$@" SKORVANE_PROBE_OUT="$results/$name" LD_PRELOAD="$preload" "$program" \
        >"$results/$name.log" 2>&1 &
    pid=$!
    sleep "$seconds"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
    echo "$name" >>"$results/order"
}

run "Xvfb, llvmpipe (default threads)"
run "Xvfb, llvmpipe LP_NUM_THREADS=0" LP_NUM_THREADS=0
run "Xvfb, llvmpipe LP_NUM_THREADS=2" LP_NUM_THREADS=2
run "Xvfb, softpipe" GALLIUM_DRIVER=softpipe

# weston nested in the Xvfb, with Xwayland when the xwayland package is there.
runtime=$(mktemp -d)
xwayland=no
[ -x /usr/bin/Xwayland ] && xwayland=yes
weston_args=(--backend=x11-backend.so --socket=skorvane-bench --no-config --idle-time=0
    --width=1024 --height=768)
[ "$xwayland" = yes ] && weston_args+=(--xwayland)
XDG_RUNTIME_DIR=$runtime weston "${weston_args[@]}" >"$results/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 200); do
    [ -S "$runtime/skorvane-bench" ] && grep -q "launching '" "$results/weston.log" && break
    sleep 0.1
done
sleep 1
if [ -S "$runtime/skorvane-bench" ]; then
    refresh=$(XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=skorvane-bench weston-info 2>/dev/null |
        grep -o 'refresh: [0-9.]* Hz' | head -n1 || true)
    echo "weston's output: ${refresh:-refresh not reported}" >&2
    run "weston, native Wayland" -u DISPLAY XDG_RUNTIME_DIR="$runtime" \
        WAYLAND_DISPLAY=skorvane-bench SDL_VIDEODRIVER=wayland
    if [ "$xwayland" = yes ]; then
        # weston starts Xwayland on the first X client; its display is the first free one, which
        # its log names.
        xdisplay=$(grep -o 'xserver listening on display :[0-9]*' "$results/weston.log" |
            grep -o ':[0-9]*' | head -n1 || true)
        if [ -n "$xdisplay" ]; then
            run "weston, Xwayland" -u WAYLAND_DISPLAY DISPLAY="$xdisplay" XDG_RUNTIME_DIR="$runtime"
        else
            echo "weston's log names no Xwayland display" >&2
        fi
    fi
else
    echo "weston did not start: $(cat "$results/weston.log")" >&2
fi

kill "$weston_pid" 2>/dev/null || true
wait "$weston_pid" 2>/dev/null || true
weston_pid=""
rm -rf "$runtime"
echo "Xwayland installed: $xwayland" >&2

python3 - "$results" <<'PY'
import sys
results = sys.argv[1]
print("| Where, driver | presents/s | CPU, share of a core | CPU per presented frame |")
print("|---|---|---|---|")
for name in open(f"{results}/order").read().splitlines():
    try:
        lines = open(f"{results}/{name}").read().split("\n")
    except OSError:
        log = open(f"{results}/{name}.log").read().strip().splitlines()
        print(f"| {name} | did not run: {log[-1] if log else 'no output'} | | |")
        continue
    presents = [tuple(map(int, l.split())) for l in lines[3:] if l.strip()]
    if len(presents) < 10:
        print(f"| {name} | {len(presents)} presents | | |")
        continue
    start = presents[0][0] + 2e9
    window = [p for p in presents if start <= p[0] < start + 10e9]
    wall = (window[-1][0] - window[0][0]) / 1e9
    cpu = (window[-1][1] - window[0][1]) / 1e9
    frames = len(window) - 1
    print(f"| {name} | {frames / wall:.2f} | {100 * cpu / wall:.0f} % | {1e3 * cpu / frames:.2f} ms |")
PY
