#!/usr/bin/env bash
# Runs the real program under valgrind's memcheck on a private Xvfb for a few hundred frames, then
# ends it with Escape. Fails on any invalid access or use of uninitialised memory, and on any
# definite leak, outside what tools/valgrind.supp suppresses (Mesa, LLVM, X11, SDL, fontconfig,
# FreeType internals). Also fails when the program does not exit with 0.
#
# Usage: tools/valgrind_check.sh PROGRAM [FRAMES]   (a non-sanitizer build; default 300 frames)
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "$1")
frames=${2:-300}
source tools/xvfb_session.sh

log=$(mktemp)
cleanup() {
    session_stop
    rm -f "$log"
}
trap cleanup EXIT
xvfb_start
export LIBGL_ALWAYS_SOFTWARE=1

# The frame probe counts the presented frames as they happen. Stacks 24 calls deep, so that a
# suppression can name the library a loader allocation was made for (tools/valgrind.supp).
start_with_probe "$log" "$program" valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
    --show-leak-kinds=definite --errors-for-leak-kinds=definite --track-origins=yes --num-callers=24 \
    --suppressions=tools/valgrind.supp --gen-suppressions=all "$program"
window=$(program_window valgrind_check 120 "$log")
# llvmpipe under valgrind manages a few frames a second.
wait_for_presents "$probe_count" "$frames" "$program_pid" 600 || true
hold_escape_until_exit "$window" "$program_pid" 120
status=0
wait "$program_pid" || status=$?
program_pid=""

presented=$(probe_presents "$probe_count")
grep -E 'ERROR SUMMARY|definitely lost|suppressed:' "$log" || true
echo "valgrind_check: $presented frames presented, exit code $status"
if [ "$status" -ne 0 ] || [ "$presented" -lt "$frames" ]; then
    echo "valgrind_check: valgrind reported errors or the program failed; its log:" >&2
    cat "$log" >&2
    exit 1
fi
