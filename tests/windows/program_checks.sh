#!/usr/bin/env bash
# Runs the cross-built skorvane.exe under Wine on a display of its own (Xvfb, no window manager)
# and checks it from outside as a user would see it: its window, its picture, an arrow key turning
# the picture, and its exit code after Escape or after a close request.
# It does not check the captions: Wine's bitmap fonts differ from Windows' (no space glyph, other
# faces), and the picture checks stay away from them.
# Usage: program_checks.sh WINEPREFIX skorvane.exe send_close_request.c CHECK
#   CHECK is picture-arrow-escape or close-request.
set -euo pipefail
prefix=$1
exe=$2
close_request_source=$3
check=$4
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
wine_run=$tools/wine_run.sh
source "$tools/xvfb_session.sh"

work=$(mktemp -d)
cleanup() {
    session_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -s "$work/program.log" ]; then
        echo "--- program output:" >&2
        cat "$work/program.log" >&2
    fi
    exit 1
}

start_program() {
    "$wine_run" "$prefix" "$exe" >"$work/program.log" 2>&1 &
    program_pid=$!
}

# Sets `exit_code` once the program has ended; fails if it is still running after 30 s.
wait_for_exit() {
    wait_for_program_exit 30 || fail "the program is still running 30 s after $1"
    exit_code=$program_status
}

# Sets `window` to the program's top-level X window. Wine that cannot start the program can still
# exit 0, so only the window itself counts as the program having started.
wait_for_window() {
    window=$(program_window "program checks" 60 "$work/program.log") ||
        fail "no window titled \"Skorvane\" within 60 s"
}

# Wine renders the client area into a child X window of the frame; its absolute position is
# where the picture is read from, and its size must be the requested 800 x 600.
find_client_area() {
    local geometry
    geometry=$(xwininfo -tree -id "$window" | sed -n 's/.* 800x600+-\{0,1\}[0-9]*+-\{0,1\}[0-9]* *+\([0-9]*\)+\([0-9]*\)$/\1 \2/p' | head -n 1)
    [ -n "$geometry" ] || fail "the window has no 800 x 600 client area: $(xwininfo -tree -id "$window")"
    read -r client_x client_y <<<"$geometry"
}

# Captures the client area as raw 8-bit RGB into the file named by $1.
capture() {
    import -silent -window root -crop "800x600+$client_x+$client_y" +repage -depth 8 "rgb:$1"
}

# Prints "r g b" of pixel (x, y) of a capture.
pixel() {
    od -An -tu1 -j $((($3 * 800 + $2) * 3)) -N3 "$1" | xargs
}

# True when pixel (x, y) of capture $1 is within 24 of the colour r g b in every channel.
pixel_is() {
    local r g b
    read -r r g b <<<"$(pixel "$1" "$2" "$3")"
    local dr=$((r - $4)) dg=$((g - $5)) db=$((b - $6))
    [ "${dr#-}" -le 24 ] && [ "${dg#-}" -le 24 ] && [ "${db#-}" -le 24 ]
}

# Window pixel of a point of the root's plane, through gluPerspective(45, 800 / 600, 1, 100) with
# the root 43 units in front of the viewer, where every frame after the first one puts it.
project() {
    awk -v x="$1" -v y="$2" 'BEGIN {
        f = 1 / (sin(22.5 * atan2(0, -1) / 180) / cos(22.5 * atan2(0, -1) / 180))
        printf "%d %d\n", 400 + 400 * (f / (800 / 600)) * x / 43, 300 - 300 * f * y / 43 }'
}

# Front faces are red; the background is the clear colour, grey 0.2.
red_at() {
    local px py
    read -r px py <<<"$(project "$2" "$3")"
    pixel_is "$1" "$px" "$py" 255 0 0
}
grey_at() {
    local px py
    read -r px py <<<"$(project "$2" "$3")"
    pixel_is "$1" "$px" "$py" 51 51 51
}

# True when capture $1 shows the root in the centre and its four children 12 units out, with the
# whole cross turned clockwise by $2 degrees.
cross_turned_by() {
    local turn=$2 coordinates
    red_at "$1" 0 0 || return 1
    for corner in 0 90 180 270; do
        coordinates=$(awk -v a="$((corner + turn))" 'BEGIN {
            r = a * atan2(0, -1) / 180; printf "%.3f %.3f\n", 12 * cos(r), -12 * sin(r) }')
        red_at "$1" $coordinates || return 1
    done
}

check_picture() {
    # The first frame stands at 40 units; a software renderer on a busy machine may take a while.
    for _ in $(seq 60); do
        capture "$work/start.rgb"
        if cross_turned_by "$work/start.rgb" 0; then
            break
        fi
        sleep 0.5
    done
    cross_turned_by "$work/start.rgb" 0 ||
        fail "the root and its four children are not red at their projected centres"
    # Between the arms of the cross nothing is drawn.
    for corner in "6 6" "-6 6" "-6 -6" "6 -6"; do
        grey_at "$work/start.rgb" $corner || fail "no background at ($corner)"
    done
    echo "PASS: window \"Skorvane\" with an 800 x 600 client area shows the cross"
}

# Holding Up turns the whole picture; the cross looks the same every 90 degrees, so a hold that
# happens to end near a multiple of 90 is repeated.
check_arrow_key() {
    local found= hold
    # Held longer each time, in case a busy machine drew no frame in the shorter hold.
    for hold in 0.3 0.5 0.8 1.3; do
        xdotool keydown Up
        sleep "$hold"
        xdotool keyup Up
        sleep 0.5
        capture "$work/turned.rgb"
        cross_turned_by "$work/turned.rgb" 0 && continue
        # Each cube covers a few degrees of turn; the middle of the matching turns is the angle.
        local matches=()
        for turn in $(seq 2 2 88); do
            if cross_turned_by "$work/turned.rgb" "$turn"; then
                matches+=("$turn")
            fi
        done
        [ "${#matches[@]}" -gt 0 ] ||
            fail "after holding Up for $hold s the picture shows no turned cross"
        found=${matches[$((${#matches[@]} / 2))]}
        break
    done
    [ -n "$found" ] || fail "holding Up did not turn the picture"
    # Released, the key stops turning it: the next frames are the same picture.
    sleep 0.5
    capture "$work/later.rgb"
    cmp -s "$work/turned.rgb" "$work/later.rgb" || fail "the picture still changes after Up is released"
    echo "PASS: holding Up turned the cross by about $found degrees (mod 90), and it stopped"
}

# The program looks at Escape only when no message is waiting, so the key is held like a person
# would hold it: a press and release delivered together can both be handled before that.
check_escape() {
    xdotool keydown Escape
    sleep 0.3
    xdotool keyup Escape
    wait_for_exit "Escape"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code after Escape"
    echo "PASS: Escape ended the program with exit code 0"
}

check_close_request() {
    cc -o "$work/send_close_request" "$close_request_source" -lX11 ||
        fail "cannot build $close_request_source"
    "$work/send_close_request" "$window"
    wait_for_exit "the close request"
    [ "$exit_code" = 0 ] || fail "exit code $exit_code after the close request"
    echo "PASS: a close request ended the program with exit code 0"
}

xvfb_start 1024x768 || fail "Xvfb did not start"
start_program
wait_for_window
find_client_area
case "$check" in
picture-arrow-escape)
    check_picture
    check_arrow_key
    check_escape
    ;;
close-request)
    check_picture
    check_close_request
    ;;
*)
    fail "unknown check '$check'"
    ;;
esac
