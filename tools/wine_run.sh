#!/usr/bin/env bash
# Runs one Windows program under Wine in a given throwaway prefix, creating the prefix on first use.
# Usage: tools/wine_run.sh PREFIX PROGRAM.exe [ARGUMENTS...]
# SKORVANE_WINE_PREFIX in the environment overrides PREFIX (tools/windows.sh uses a fresh one).
# Used as the cross-compiled build's test launcher and by tools/windows.sh. It does not start an X
# display: programs with windows need DISPLAY set by the caller.
set -euo pipefail

if [ "$#" -lt 2 ]; then
    echo "usage: $0 PREFIX PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
fi
WINEPREFIX=$(realpath -m "${SKORVANE_WINE_PREFIX:-$1}")
shift
export WINEPREFIX
# No debug channels, and no offer to install Mono or Gecko, which would wait for a click.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
# Seconds any one Wine call may take; the first boot of a prefix takes up to half a minute.
wine_timeout=${SKORVANE_WINE_TIMEOUT:-120}

run_wine() {
    timeout --kill-after=10 "$wine_timeout" "$@"
}

# Debian's `wine` and `wineserver` start the 32-bit loader whenever wine32 is installed, and a
# kernel built without 32-bit support (some virtual machines) cannot execute it; 64-bit programs
# then go to the 64-bit loader directly. tools/windows.sh skips the 32-bit runs on such a kernel.
wine=wine
wineserver=wineserver
if ! /usr/lib/wine/wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
    export WINELOADER=$wine WINESERVER=$wineserver
fi

mkdir -p "$WINEPREFIX"
(
    # Two launches at once must not both create the prefix.
    flock 9
    if [ ! -f "$WINEPREFIX/.skorvane-ready" ]; then
        # Redirected so the wineserver this starts does not hold the caller's output pipe open.
        run_wine "$wine" wineboot --init </dev/null >"$WINEPREFIX/wineboot.log" 2>&1
        # Without a window manager, Wine waits about 2 s in DestroyWindow for managed windows.
        run_wine "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >>"$WINEPREFIX/wineboot.log" 2>&1
        touch "$WINEPREFIX/.skorvane-ready"
    fi
) 9>"$WINEPREFIX/.lock"

# Wine's server and its background processes outlive the program and keep whatever output they
# inherited open, so a caller reading our output (CTest) would wait for them. Start them here with
# their output elsewhere, kept alive a minute so that consecutive runs share them; both calls are
# quick when they are already running.
"$wineserver" -p60 </dev/null >/dev/null 2>&1 || true
run_wine "$wine" wineboot </dev/null >/dev/null 2>&1

run_wine "$wine" "$@"
