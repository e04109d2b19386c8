#!/usr/bin/env bash
# Runs every benchmark once, side by side with its reference, and prints the results as the
# Markdown table kept in docs/performance.md. Nothing here runs in the test suite.
#
# Usage: tools/bench.sh [BUILD_DIR]   (default build/bench, configured RelWithDebInfo if missing)
#
#   matrix    bench/matrix_bench: builders, product and one frame's 85 node transforms vs GLM
#   frame     bench/frame_bench: drawFrame vs the same picture on GL's matrix stack, offscreen
#   instr.    callgrind over frame_bench --frames: instructions per frame in the program's own code
#   start-up  the real program and bench/bare_window under Xvfb, each with the frame probe
#             preloaded: process start to the first SDL_GL_SwapWindow, and peak resident memory
#   pacing    the real program for 12 s under Xvfb: presents per second over 10 s and CPU time
#             (all threads) per presented frame
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
runs=${BENCH_STARTUP_RUNS:-7}

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j2 --target skorvane matrix_bench frame_bench bare_window present_probe \
    >/dev/null
program=$build/shell/skorvane
bare=$build/bench/bare_window
results=$build/bench-results
rm -rf "$results"
mkdir -p "$results"
export LIBGL_ALWAYS_SOFTWARE=1

echo "== matrix library against GLM" >&2
"$build/bench/matrix_bench" --benchmark_min_time=0.5 --benchmark_repetitions=5 \
    --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$results/matrix.json"

echo "== frame against the GL matrix stack" >&2
"$build/bench/frame_bench" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true --benchmark_format=json \
    >"$results/frame.out"

echo "== instructions per frame (callgrind)" >&2
# Collected only inside updateSpins and drawFrame; 30 frames minus 10 frames leaves 20 steady
# frames without the one-off costs of the first (shader compilation and the like). Both runs must
# pay those costs alike: with Mesa's on-disk shader cache the second run would find the shaders the
# first one compiled, and the difference would subtract compilation. The cache is off for both.
for frames in 10 30; do
    MESA_SHADER_CACHE_DISABLE=true valgrind --tool=callgrind --callgrind-out-file="$results/callgrind.$frames" \
        '--toggle-collect=drawFrame()' '--toggle-collect=updateSpins()' \
        "$build/bench/frame_bench" --frames "$frames" 2>/dev/null
    tools/callgrind_by_object.py "$results/callgrind.$frames" >"$results/objects.$frames"
done

echo "== start-up, memory and pacing under Xvfb" >&2
source tools/xvfb_session.sh
trap xvfb_stop EXIT
xvfb_start

# run_probed OUT SECONDS PROGRAM: starts PROGRAM with the probe, lets it run, ends it with SIGTERM
# (SDL turns that into a close request, so the program leaves through its own teardown).
run_probed() {
    local out=$1 seconds=$2 target=$3 t0 pid preload
    preload=$(probe_preload "$target")
    t0=$(date +%s%N)
    SKORVANE_PROBE_T0=$t0 SKORVANE_PROBE_OUT=$out LD_PRELOAD=$preload "$target" >/dev/null 2>&1 &
    pid=$!
    sleep "$seconds"
    kill -TERM "$pid"
    wait "$pid" || true
}
for run in $(seq "$runs"); do
    run_probed "$results/startup-bare.$run" 3 "$bare"
    run_probed "$results/startup-program.$run" 3 "$program"
done
run_probed "$results/pacing" 12.5 "$program"

python3 - "$results" "$runs" <<'PY'
import json, statistics, sys
results, runs = sys.argv[1], int(sys.argv[2])

def aggregates(path):
    text = open(path).read()
    data = json.loads(text[text.index("{"):])
    out = {}
    for b in data["benchmarks"]:
        if b.get("aggregate_name") == "median":
            scale = {"ns": 1, "us": 1e3, "ms": 1e6}[b["time_unit"]]
            out[b["run_name"].split("/")[0]] = b["real_time"] * scale
    return out

matrix = aggregates(f"{results}/matrix.json")
frame = aggregates(f"{results}/frame.out")
frame_budget_ns = 1e9 / 60

def objects(frames):
    table = {}
    for line in open(f"{results}/objects.{frames}"):
        cost, name = line.split(" ", 1)
        table[name.strip()] = int(cost)
    return table
o10, o30 = objects(10), objects(30)
def per_frame(match):
    return sum(v for k, v in o30.items() if match(k)) - sum(v for k, v in o10.items() if match(k))
own = per_frame(lambda k: k.endswith("/frame_bench")) / 20
libm = per_frame(lambda k: "/libm." in k) / 20
everything = per_frame(lambda k: True) / 20
# A count of instructions cannot be negative and a part cannot exceed the whole; such a figure
# means the two runs did not do the same one-off work, and printing it would mislead.
if not (0 <= own and 0 <= libm and 0 < everything and 0 <= (own + libm) / everything <= 1):
    sys.exit(f"bench: impossible instruction counts per frame (own {own:,.0f}, libm {libm:,.0f}, "
             f"whole process {everything:,.0f}); the two callgrind runs did not do the same "
             "one-off work")

def probe(path):
    lines = open(path).read().split("\n")
    head = dict(l.split(" ", 1) for l in lines[:3])
    presents = [tuple(map(int, l.split())) for l in lines[3:] if l.strip()]
    return int(head["t0"]), int(head["peak_kb"]), presents
def startup(kind):
    times, peaks = [], []
    for run in range(1, runs + 1):
        t0, peak, presents = probe(f"{results}/startup-{kind}.{run}")
        times.append((presents[0][0] - t0) / 1e6)
        peaks.append(peak)
    return statistics.median(times), statistics.median(peaks)
bare_ms, bare_kb = startup("bare")
prog_ms, prog_kb = startup("program")

_, _, presents = probe(f"{results}/pacing")
start = presents[0][0] + 1e9
window = [p for p in presents if start <= p[0] < start + 10e9]
fps = (len(window) - 1) / ((window[-1][0] - window[0][0]) / 1e9)
cpu_ms = (window[-1][1] - window[0][1]) / (len(window) - 1) / 1e6

def row(*cells):
    print("| " + " | ".join(cells) + " |")
print("| Measure | Skorvane | Reference | Ratio | Goal |")
print("|---|---|---|---|---|")
for name, label in [("Identity", "identity"), ("Translate", "translate (from identity)"),
                    ("Scale", "scale (from identity)"), ("RotateZ", "rotate Z (from identity)"),
                    ("Product", "product")]:
    ours, glm = matrix[f"Ours_{name}"], matrix[f"Glm_{name}"]
    row(f"Matrix {label}", f"{ours:.1f} ns", f"GLM {glm:.1f} ns", f"{ours / glm:.2f}", "as fast as the rounding allows")
ours, glm = matrix["Ours_FrameTree"], matrix["Glm_FrameTree"]
row("85 node transforms of one frame", f"{ours / 1e3:.1f} µs ({100 * ours / frame_budget_ns:.2f} % of a 60 Hz frame)",
    f"GLM {glm / 1e3:.1f} µs", f"{ours / glm:.2f}", "< 1 % of a frame")
ours, ref = frame["Ours_Frame"], frame["Reference_Frame"]
row("Frame, offscreen llvmpipe, 800 × 600", f"{ours / 1e3:.0f} µs", f"GL matrix stack {ref / 1e3:.0f} µs",
    f"{ours / ref:.3f}", "≤ 1.05")
row("Instructions per frame in the program's own code", f"{own:,.0f} (+ {libm:,.0f} in libm)",
    f"{everything:,.0f} in the whole process", f"{(own + libm) / everything:.4f}", "stable figure")
row("Start-up to first presented frame, Xvfb", f"{prog_ms:.0f} ms", f"bare SDL window {bare_ms:.0f} ms",
    f"{prog_ms / bare_ms:.2f}", "≤ 1.2")
row("Peak resident memory", f"{prog_kb / 1024:.1f} MiB", f"bare SDL window {bare_kb / 1024:.1f} MiB",
    f"{prog_kb / bare_kb:.2f}", "≤ 1.1")
row("Presented frames per second over 10 s, interval 1", f"{fps:.2f}", "60", f"{fps / 60:.4f}", "within 1 % of 60")
row("CPU time per presented frame (all threads), 800 × 600", f"{cpu_ms:.2f} ms", "—", "—", "< 2 ms")
PY
