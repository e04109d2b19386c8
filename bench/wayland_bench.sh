#!/usr/bin/env bash
# The program natively on Wayland against X11, side by side in one run: process start to the first
# presented frame and peak resident memory (the frame probe, median of several runs) on X11 (Xvfb,
# scale 1) and natively on Wayland under weston nested in the same Xvfb at scale 1 and 2, with
# DISPLAY set too as on a Wayland desktop (the layer picks Wayland); then presents per second over
# 10 s under weston at scale 2 (1600 x 1200 device pixels). Not part of the test suite; figures
# only.
#
# Usage: bench/wayland_bench.sh [PROGRAM]   (default build/default/shell/skorvane)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/default/shell/skorvane}")
runs=${WAYLAND_BENCH_RUNS:-5}
results=$(mktemp -d)
source tools/xvfb_session.sh
weston_pid=""
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
    xvfb_stop
    rm -rf "$results"
}
trap cleanup EXIT
xvfb_start 2048x1536 # weston at scale 2 opens a 2048 x 1536 window
export LIBGL_ALWAYS_SOFTWARE=1
preload=$(probe_preload "$program")

# probed NAME SECONDS [VAR=VALUE...]: the program for SECONDS with the probe, ended by SIGTERM.
probed() {
    local name=$1 seconds=$2 pid
    shift 2
    env "$@" SKORVANE_PROBE_T0="$(date +%s%N)" SKORVANE_PROBE_OUT="$results/$name" \
        LD_PRELOAD="$preload" "$program" >"$results/$name.log" 2>&1 &
    pid=$!
    sleep "$seconds"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" || true
}

# weston_start SCALE: weston nested in the Xvfb, its socket in $runtime/skorvane-bench.
weston_start() {
    runtime=$(mktemp -d)
    XDG_RUNTIME_DIR=$runtime weston --backend=x11-backend.so --socket=skorvane-bench --no-config \
        --idle-time=0 --width=1024 --height=768 --scale="$1" >"$results/weston.log" 2>&1 &
    weston_pid=$!
    for _ in $(seq 200); do
        [ -S "$runtime/skorvane-bench" ] && grep -q "launching '" "$results/weston.log" && break
        sleep 0.1
    done
    sleep 1
}
weston_stop() {
    kill "$weston_pid" 2>/dev/null || true
    wait "$weston_pid" 2>/dev/null || true
    weston_pid=""
    rm -rf "$runtime"
}

for run in $(seq "$runs"); do
    probed "x11.$run" 3 -u WAYLAND_DISPLAY
done
for scale in 1 2; do
    weston_start "$scale"
    for run in $(seq "$runs"); do
        probed "wayland$scale.$run" 3 XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=skorvane-bench
    done
    [ "$scale" = 2 ] && probed pacing 12.5 XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=skorvane-bench
    weston_stop
done

python3 - "$results" "$runs" <<'PY'
import statistics, sys
results, runs = sys.argv[1], int(sys.argv[2])

def probe(path):
    lines = open(path).read().split("\n")
    head = dict(l.split(" ", 1) for l in lines[:3])
    presents = [tuple(map(int, l.split())) for l in lines[3:] if l.strip()]
    return int(head["t0"]), int(head["peak_kb"]), presents

print("| Where | start-up to first frame | peak resident memory |")
print("|---|---|---|")
for kind, label in [("x11", "X11 (Xvfb), scale 1, 800 × 600"),
                    ("wayland1", "native Wayland (weston), scale 1, 800 × 600"),
                    ("wayland2", "native Wayland (weston), scale 2, 1600 × 1200")]:
    times, peaks = [], []
    for run in range(1, runs + 1):
        t0, peak, presents = probe(f"{results}/{kind}.{run}")
        times.append((presents[0][0] - t0) / 1e6)
        peaks.append(peak)
    print(f"| {label} | {statistics.median(times):.0f} ms | "
          f"{statistics.median(peaks) / 1024:.1f} MiB |")
_, _, presents = probe(f"{results}/pacing")
start = presents[0][0] + 2e9
window = [p for p in presents if start <= p[0] < start + 10e9]
fps = (len(window) - 1) / ((window[-1][0] - window[0][0]) / 1e9)
print(f"\nPresents per second under weston at scale 2, over 10 s: {fps:.2f}")
PY
