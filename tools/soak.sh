#!/usr/bin/env bash
# Soak: the real program (a debug build, which checks glGetError every frame; test.sh runs the
# sanitizer build, whose reports end the program with a non-zero exit code) on a private Xvfb
# for 60 seconds while a driver presses and releases random arrow keys, minimises and restores the
# window (the minimised window reports a 0 x 0 client area) and resizes it, down to 1 pixel high
# and never above its starting 800 x 600.
# Afterwards Escape must still end it with exit code 0, no frame may have raised a GL error, and
# the memory it holds may have grown by less than 1 MiB from the first second to the end.
#
# "Memory it holds" is the heap in use, as the frame probe (tools/probe, preloaded) reads it from
# malloc, or from AddressSanitizer's allocator in a sanitizer build, at every present. Resident memory is printed as well but is not the limit: llvmpipe keeps its bin
# and scene storage at the high-water mark of the most demanding frame and window size seen, and
# the allocator keeps freed pages, so resident memory wanders by a few MiB either way during a run
# without anything being leaked.
#
# Usage: tools/soak.sh PROGRAM [SECONDS]   (SOAK_SEED=n repeats a run; the seed is printed)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "$1")
seconds=${2:-60}
seed=${SOAK_SEED:-$((RANDOM * 32768 + RANDOM))}
RANDOM=$seed
max_actions=2000
source tools/xvfb_session.sh

log=$(mktemp)
cleanup() {
    session_stop
    rm -f "$log"
}
trap cleanup EXIT
xvfb_start
export LIBGL_ALWAYS_SOFTWARE=1
echo "soak: ${seconds} s, seed $seed"

start_with_probe "$log" "$program" "$program"
window=$(program_window soak 20 "$log")
point_at "$window"

resident_kb() {
    sed -n 's/^VmRSS:[[:space:]]*\([0-9]*\).*/\1/p' "/proc/$program_pid/status"
}
alive() {
    kill -0 "$program_pid" 2>/dev/null || { echo "soak: the program ended early" >&2; cat "$log" >&2; exit 1; }
}

wait_for_presents "$probe_count" 1 "$program_pid" 60 || alive
sleep 1
first_kb=$(resident_kb)
first_heap=$(probe_heap_bytes "$probe_count")
keys=(Up Down Left Right)
presses=0 minimised=0 resized=0 actions=0
end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ] && [ "$actions" -lt "$max_actions" ]; do
    alive
    actions=$((actions + 1))
    choice=$((RANDOM % 100))
    if [ "$choice" -lt 80 ]; then
        key=${keys[$((RANDOM % 4))]}
        xdotool keydown "$key"
        sleep "0.$(printf '%02d' $((RANDOM % 40 + 2)))"
        xdotool keyup "$key"
        presses=$((presses + 1))
    elif [ "$choice" -lt 88 ]; then
        # Without a window manager an unmapped window is what a minimised one looks like.
        xdotool windowunmap --sync "$window"
        sleep "0.$(printf '%02d' $((RANDOM % 30 + 5)))"
        xdotool windowmap --sync "$window"
        point_at "$window"
        minimised=$((minimised + 1))
    else
        # Never larger than the start: buffers bigger than the first ones would raise the
        # allocator's high-water mark, which is not a leak but would read as one.
        xdotool windowsize --sync "$window" $((RANDOM % 800 + 1)) $((RANDOM % 600 + 1)) || true
        [ $((RANDOM % 4)) -eq 0 ] && xdotool windowsize --sync "$window" $((RANDOM % 800 + 1)) 1
        point_at "$window"
        resized=$((resized + 1))
    fi
    sleep "0.0$((RANDOM % 10))"
done
alive
xdotool windowsize --sync "$window" 800 600
sleep 1
last_kb=$(resident_kb)
last_heap=$(probe_heap_bytes "$probe_count")

hold_escape_until_exit "$window" "$program_pid" 20
status=0
wait "$program_pid" || status=$?
program_pid=""

growth=$(((last_heap - first_heap) / 1024))
echo "soak: $presses key presses, $minimised minimise/restore, $resized resizes; exit code $status"
echo "soak: heap in use $((first_heap / 1024)) KiB after 1 s, $((last_heap / 1024)) KiB at the end" \
    "(${growth} KiB); resident ${first_kb} KiB, then ${last_kb} KiB ($((last_kb - first_kb)) KiB)"
failed=0
if [ "$status" -ne 0 ]; then
    echo "soak: exit code $status, expected 0" >&2
    failed=1
fi
if grep -q 'GL error' "$log"; then
    echo "soak: GL errors were raised:" >&2
    grep 'GL error' "$log" | sort | uniq -c >&2
    failed=1
fi
if [ "$growth" -ge 1024 ]; then
    echo "soak: heap in use grew by ${growth} KiB (limit 1024)" >&2
    failed=1
fi
if [ "$failed" -ne 0 ]; then
    echo "soak: program output:" >&2
    cat "$log" >&2
    exit 1
fi
