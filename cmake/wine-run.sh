#!/bin/bash
# Runs a Windows program under 32-bit Wine for the test suite and the demo:
#   wine-run.sh PROGRAM.exe [ARGS...]
# - a 32-bit prefix ($MIRVISTA_WINE_PREFIX, default: wineprefix beside the program),
#   made on first use;
# - WINEDEBUG=-all and LC_ALL=ja_JP.UTF-8 (ANSI code page 932);
# - a private Xvfb display when DISPLAY is not set;
# - optional hooks: $MIRVISTA_WINE_PRE is sourced before the program runs and
#   $MIRVISTA_WINE_POST after it (always), with $MIRVISTA_TEST_TMP a private folder;
# - leaves no wineserver, Xvfb or helper process behind.
set -u

program=$1
shift

export WINEARCH=win32
export WINEDEBUG=-all
export LC_ALL=ja_JP.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX=${MIRVISTA_WINE_PREFIX:-$(cd "$(dirname "$program")" && pwd)/wineprefix}
MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-test.XXXXXX)
export MIRVISTA_TEST_TMP

xvfb_pid=
cleanup() {
    if [ -n "${MIRVISTA_WINE_POST:-}" ]; then
        # shellcheck disable=SC1090
        source "$MIRVISTA_WINE_POST" || true
    fi
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -rf "$MIRVISTA_TEST_TMP"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb() {
    local fdfile=$MIRVISTA_TEST_TMP/display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    if [ ! -s "$fdfile" ]; then
        echo "wine-run: Xvfb did not start" >&2
        exit 1
    fi
    export DISPLAY=:$(head -n1 "$fdfile")
}

make_prefix() {
    # Several runners may start at once (the test suite and the demo): one makes the prefix.
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.mirvista-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot --init >/dev/null 2>&1
            wineserver -w >/dev/null 2>&1
            touch "$WINEPREFIX/.mirvista-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
}

[ -z "${DISPLAY:-}" ] && start_xvfb
make_prefix

if [ -n "${MIRVISTA_WINE_PRE:-}" ]; then
    # shellcheck disable=SC1090
    source "$MIRVISTA_WINE_PRE" || exit 1
fi

wine "$program" "$@"
status=$?
exit $status
