#!/bin/bash
# A private X display for tests, benchmarks and the demo; source it, then call the functions.

# Starts a private Xvfb and exports DISPLAY; its pid is left in xvfb_pid. The display is
# always a new one: the caller's own DISPLAY is never used.
# $1: a folder for the display number file; further arguments go to Xvfb.
start_xvfb() {
    local fdfile=$1/display
    rm -f "$fdfile" # a number left from an earlier display must not be taken for this one's
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp "${@:2}" 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    if [ ! -s "$fdfile" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    DISPLAY=:$(head -n1 "$fdfile")
    export DISPLAY
}

stop_xvfb() {
    if [ -n "${xvfb_pid:-}" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    fi
}

# Removes a run's temporary folder, or only names it when MIRVISTA_KEEP_TMP asks to keep it.
drop_tmp() {
    if [ -n "${MIRVISTA_KEEP_TMP:-}" ]; then echo "kept $1" >&2; else rm -rf "$1"; fi
}
