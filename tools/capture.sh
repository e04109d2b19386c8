#!/usr/bin/env bash
# Runs the real program on a virtual display, drives it as a person would and saves what its window
# shows: a still of the first picture, numbered frames while each arrow key is held, a still after
# each key, the frames presented while minimised and after, an animated GIF, and the exit code
# after Escape. The end-to-end tests read the same
# files, so what the README shows and what the tests check come from one tool.
#
# Usage: tools/capture.sh [--out DIR] [--format png|ppm] [--hold SECONDS] [--no-gif] PROGRAM [ARGS...]
# A fresh Xvfb is started unless CAPTURE_DISPLAY names a display to use.
set -euo pipefail

out=build/capture
format=png
hold=0.6
gif=yes
while [ $# -gt 0 ]; do
    case "$1" in
    --out) out=$2; shift 2 ;;
    --format) format=$2; shift 2 ;;
    --hold) hold=$2; shift 2 ;;
    --no-gif) gif=no; shift ;;
    --) shift; break ;;
    -*) echo "capture: unknown option $1" >&2; exit 2 ;;
    *) break ;;
    esac
done
[ $# -ge 1 ] || { echo "usage: $0 [--out DIR] [--format png|ppm] [--hold S] [--no-gif] PROGRAM [ARGS...]" >&2; exit 2; }

for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "capture: $tool is not installed" >&2; exit 2; }
done

rm -rf "$out"
mkdir -p "$out/frames"
source "$(dirname "$0")/xvfb_session.sh"
trap session_stop EXIT

if [ -n "${CAPTURE_DISPLAY:-}" ]; then
    export DISPLAY=$CAPTURE_DISPLAY
else
    xvfb_start
fi

start_with_probe "$out/program.log" "$1" "$@"
window=$(program_window capture 30 "$out/program.log")
echo "$window" >"$out/window-id"
xwininfo -id "$window" >"$out/window-info"

# Keys go to the window under the pointer when no window manager assigns focus.
point_at "$window"
# The first frames are on screen however slowly the program starts (a sanitizer build on a busy
# machine takes seconds).
wait_for_presents "$probe_count" 3 "$program_pid" 60 || true

shot() { import -window "$window" -depth 8 "$1"; }

shot "$out/start.$format"
# Frames are numbered in the order taken and named after what was happening: NNN-start,
# NNN-Up while Up was held, NNN-Up-released a moment after it was let go, and so on.
frame=0
# Each numbered frame also gets, in NNN-name.presents, the program's present counts just before
# and just after its screenshot: how many frames apart two screenshots can be, however slowly
# a busy machine takes them.
next_frame() {
    local name presents_before
    name=$(printf '%s/frames/%03d-%s' "$out" "$frame" "$1")
    presents_before=$(probe_presents "$probe_count")
    shot "$name.$format"
    echo "$presents_before $(probe_presents "$probe_count")" >"$name.presents"
    frame=$((frame + 1))
}
# close_pairs NAME: how many consecutive screenshots of NAME lie at most 12 presents apart.
close_pairs() {
    cat "$out"/frames/*-"$1".presents | awk 'NR > 1 && $2 - previous <= 12 { n++ }
        { previous = $1 } END { print n + 0 }'
}
next_frame start

# wait_for_more_presents N: until the program has presented N more frames than it had so far.
wait_for_more_presents() {
    wait_for_presents "$probe_count" $(($(probe_presents "$probe_count") + $1)) "$program_pid" 60 ||
        true
}

for key in Up Left Right Down; do
    xdotool keydown "$key"
    end=$(awk -v now="$(date +%s.%N)" -v hold="$hold" 'BEGIN { printf "%.3f", now + hold }')
    # At least four screenshots while the key is held, each two presents after the one before,
    # and two pairs of them close enough (in presents) for the tests to tell the way of the turn,
    # however slowly a busy machine draws or takes them; up to 100 on a very busy one.
    taken=0
    while [ "$taken" -lt 4 ] || awk -v now="$(date +%s.%N)" -v end="$end" 'BEGIN { exit !(now < end) }' ||
        { [ "$(close_pairs "$key")" -lt 2 ] && [ "$taken" -lt 100 ]; }; do
        wait_for_more_presents 2
        next_frame "$key"
        taken=$((taken + 1))
    done
    xdotool keyup "$key"
    # The release reaches the program before the frame after the one under way; that frame may
    # still show the last step, since each frame draws the angle the one before handed over. From
    # the third present on the picture stands still, and the tests check that it does.
    wait_for_more_presents 3
    shot "$out/after-$key.$format"
    wait_for_more_presents 3
    next_frame "$key-released"
done

# Minimised (without a window manager an unmapped window is what a minimised one looks like) the
# program presents nothing; mapped again it goes on. The counts are the probe's. The focus goes
# elsewhere first, as when another application is clicked before the taskbar minimises this one:
# losing the focus alone must not stop the drawing, so only the minimise itself can.
xdotool windowfocus "$(xwininfo -root | awk '/Window id:/ { print $4 }')"
wait_for_more_presents 3
xdotool windowunmap --sync "$window"
# Counted from the moment the window is gone, so only the one frame already under way when the
# unmap reached the program may still be presented, however late a busy machine gets to it; then
# until the count has stood still for half a second, and a second more. A program that went on
# drawing would never stand still here, and would present dozens of frames.
hidden_from=$(probe_presents "$probe_count")
still=0
for _ in $(seq 300); do
    before=$(probe_presents "$probe_count")
    sleep 0.1
    [ "$(probe_presents "$probe_count")" = "$before" ] && still=$((still + 1)) || still=0
    [ "$still" -ge 5 ] && break
done
sleep 1
hidden_to=$(probe_presents "$probe_count")
echo $((hidden_to - hidden_from)) >"$out/presents-while-minimised"
xdotool windowmap --sync "$window"
point_at "$window"
wait_for_presents "$probe_count" $((hidden_to + 3)) "$program_pid" 30 || true
echo $(($(probe_presents "$probe_count") - hidden_to)) >"$out/presents-after-restore"

# Held like a finger would: the program looks at Escape between messages, not at the key event.
hold_escape_until_exit "$window" "$program_pid" 60
status=""
if wait_for_program_exit 30; then
    status=$program_status
fi
program_pid=""
echo "${status:-running}" >"$out/exit-code"
if find_program_window 0 >/dev/null; then
    echo "window-still-there" >"$out/window-after-exit"
fi

if [ "$gif" = yes ]; then
    # How many frames a held key gives depends on the machine's speed; read whole, a quiet
    # machine's 300 overran ImageMagick's resource policy (about 1.2 GB of pixel cache) and
    # convert failed. So at most 120, evenly spaced, each halved as it is read.
    shots=("$out"/frames/*."$format")
    step=$(((${#shots[@]} + 119) / 120))
    picked=()
    for ((i = 0; i < ${#shots[@]}; i += step)); do
        picked+=("${shots[i]}[400x300]")
    done
    convert -delay $((10 * step)) -loop 0 "${picked[@]}" -colors 32 -layers Optimize \
        "$out/spinning.gif"
fi
echo "capture: wrote $out (exit code ${status:-none: still running after Escape})"
[ "${status:-1}" = 0 ]
