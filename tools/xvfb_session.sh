# Sourced by tools/capture.sh, tools/bench.sh, tools/valgrind_check.sh, tools/soak.sh and
# tests/windows/program_checks.sh: a private Xvfb for the session, the frame probe that counts what
# the program presents, finding the program's window and ending the program the way a user does.
# Callers set `set -euo pipefail` and call xvfb_stop from their EXIT trap.

xvfb_pid=""
xvfb_dir=""
program_pid=""
probe_count=""

# Starts Xvfb on a free display and exports DISPLAY; the screen is WIDTHxHEIGHT (1280x1024).
xvfb_start() {
    local size=${1:-1280x1024}
    xvfb_dir=$(mktemp -d)
    # -displayfd picks a free display number and reports it once the server accepts clients.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$xvfb_dir/display" >/dev/null \
        2>/dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$xvfb_dir/display" ] && break
        sleep 0.05
    done
    [ -s "$xvfb_dir/display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$xvfb_dir/display")"
}

# A SIGTERM that lands just before the server waits for its clients is only seen when the next
# one interrupts that wait (see tests/support/xvfb.cpp), so it is sent until the server has gone.
xvfb_stop() {
    if [ -n "$xvfb_pid" ]; then
        for _ in $(seq 20); do
            kill "$xvfb_pid" 2>/dev/null || break
            sleep 0.5
        done
        kill -KILL "$xvfb_pid" 2>/dev/null || true
    fi
    [ -n "$xvfb_dir" ] && rm -rf "$xvfb_dir" || true
}

# For the callers' EXIT trap: ends the program if it still runs, then the Xvfb.
session_stop() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "$probe_count" ] && rm -f "$probe_count" "$probe_count.new" || true
    xvfb_stop
}

# start_with_probe LOG PROGRAM COMMAND...: runs COMMAND (PROGRAM itself, or a tool that runs it)
# in the background with the frame probe preloaded into PROGRAM and all output in LOG. Sets
# program_pid, and probe_count to the file the probe keeps up to date.
start_with_probe() {
    local log=$1 program=$2 preload
    shift 2
    preload=$(probe_preload "$program")
    probe_count=$log.count
    if [ -n "${SKORVANE_EMULATOR:-}" ]; then
        # A program built for another processor (tools/arm64.sh) runs under the emulator named
        # there (qemu-aarch64 -L /), which hands the probe to the program rather than loading it.
        SKORVANE_PROBE_COUNT=$probe_count $SKORVANE_EMULATOR -E "LD_PRELOAD=$preload" "$@" \
            >"$log" 2>&1 &
    else
        LD_PRELOAD=$preload SKORVANE_PROBE_COUNT=$probe_count "$@" >"$log" 2>&1 &
    fi
    program_pid=$!
}

# program_window TOOL SECONDS LOG: prints the id of the program's window once it is mapped; if it
# does not appear within SECONDS, says so as TOOL, shows the program's output from LOG and fails.
program_window() {
    local window
    window=$(find_program_window "$2") || true
    if [ -z "$window" ]; then
        echo "$1: the program's window did not appear; its output:" >&2
        cat "$3" >&2
        return 1
    fi
    echo "$window"
}

# Prints the id of the program's window once it is mapped, or fails after SECONDS; with SECONDS
# 0, the id of any window of the program, mapped or not, at once (fails when there is none).
find_program_window() {
    local seconds=$1
    if [ "$seconds" = 0 ]; then
        xdotool search --name '^Skorvane$' 2>/dev/null | head -n1 | grep .
        return
    fi
    # One search at a time, again until the deadline: xdotool gives up on a whole search when a
    # window it looks at is destroyed meanwhile, so its own --sync wait can end early with nothing.
    local window
    for _ in $(seq $((seconds * 10))); do
        window=$(xdotool search --onlyvisible --name '^Skorvane$' 2>/dev/null | head -n1) || true
        [ -n "$window" ] && { echo "$window"; return 0; }
        sleep 0.1
    done
    return 1
}

# Keys go to the window under the pointer while the focus follows it; once the window has been
# unmapped the X focus falls back to none, so it is also given the focus explicitly.
point_at() {
    xdotool mousemove --window "$1" 10 10
    xdotool windowfocus "$1" 2>/dev/null || true
}

# wait_for_program_exit SECONDS: waits for the program started by start_with_probe (or any
# background job whose pid is in program_pid) to end. Sets program_status to its exit code and
# clears program_pid; fails, leaving both as they were, if it still runs after SECONDS.
program_status=""
wait_for_program_exit() {
    local seconds=$1
    for _ in $(seq $((seconds * 10))); do
        if ! kill -0 "$program_pid" 2>/dev/null; then
            program_status=0
            wait "$program_pid" || program_status=$?
            program_pid=""
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Holds Escape long enough for a pass of the loop to see it, however slowly the program runs,
# until the process PID has gone or SECONDS have passed.
hold_escape_until_exit() {
    local window=$1 pid=$2 seconds=$3
    point_at "$window" 2>/dev/null || true
    xdotool keydown Escape
    for _ in $(seq $((seconds * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    xdotool keyup Escape 2>/dev/null || true
}

# The frame probe (tools/probe) is built next to every Linux program: BUILD/shell/skorvane has it
# at BUILD/tools/probe/libpresent_probe.so; SKORVANE_PROBE names it for a program elsewhere (an
# installed one). Prints the value LD_PRELOAD needs to load it into PROGRAM, or fails when it is
# not built. A sanitizer-instrumented program needs its runtime ahead of every other library, so
# that comes first.
probe_preload() {
    local program probe runtime
    program=$(realpath "$1")
    probe=${SKORVANE_PROBE:-$(dirname "$program")/../tools/probe/libpresent_probe.so}
    [ -f "$probe" ] || { echo "$probe is not built" >&2; return 1; }
    # (ldd knows only the host's programs.)
    runtime=$(ldd "$program" 2>/dev/null | awk '/libasan\.so/ { print $3; exit }') || true
    echo "${runtime:+$runtime:}$(realpath "$probe")"
}

# The probe replaces the file named by SKORVANE_PROBE_COUNT at every present with
# "<presents so far> <heap bytes in use>" (by a rename, so it is never read half written); before
# the first present there is no file, which reads as 0.
probe_presents() {
    local presents=""
    { read -r presents _ <"$1"; } 2>/dev/null || true
    echo "${presents:-0}"
}
probe_heap_bytes() {
    local heap=""
    for _ in $(seq 20); do
        { read -r _ heap <"$1"; } 2>/dev/null || true
        [ -n "$heap" ] && break
        sleep 0.05
    done
    echo "${heap:-0}"
}

# Waits until the count file FILE shows COUNT presents, the process PID has ended or SECONDS have
# passed; fails unless COUNT was reached.
wait_for_presents() {
    local file=$1 count=$2 pid=$3 seconds=$4
    for _ in $(seq $((seconds * 10))); do
        [ "$(probe_presents "$file")" -ge "$count" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ "$(probe_presents "$file")" -ge "$count" ]
}
