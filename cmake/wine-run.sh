#!/bin/bash
# Runs a Windows program under 32-bit Wine for the test suite:
#   wine-run.sh PROGRAM.exe [ARGS...]
# - a 32-bit prefix ($MIRVISTA_WINE_PREFIX, default: wineprefix beside the program),
#   made on first use;
# - WINEDEBUG=-all (MIRVISTA_WINEDEBUG opens channels) and LC_ALL=ja_JP.UTF-8 (ANSI code
#   page 932);
# - a private Xvfb display, always: a test never draws on, or moves the mouse of, the
#   caller's own display;
# - optional hooks: $MIRVISTA_WINE_PRE is sourced before the program runs and
#   $MIRVISTA_WINE_POST after it (always), with $MIRVISTA_TEST_TMP a private folder
#   (kept when MIRVISTA_KEEP_TMP is set);
# - runs one program at a time per prefix;
# - leaves no wineserver, Xvfb or helper process behind.
set -u

program=$1
shift

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${MIRVISTA_WINE_PREFIX:-$(cd "$(dirname "$program")" && pwd)/wineprefix}
# shellcheck source=wine-env.sh
source "$here/wine-env.sh"

lock_prefix

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-test.XXXXXX)
export MIRVISTA_TEST_TMP

xvfb_pid=
cleanup() {
    if [ -n "${MIRVISTA_WINE_POST:-}" ]; then
        # shellcheck disable=SC1090
        source "$MIRVISTA_WINE_POST" || true
    fi
    stop_wine
    stop_xvfb
    drop_tmp "$MIRVISTA_TEST_TMP"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb "$MIRVISTA_TEST_TMP" || exit 1
make_prefix

if [ -n "${MIRVISTA_WINE_PRE:-}" ]; then
    # shellcheck disable=SC1090
    source "$MIRVISTA_WINE_PRE" || exit 1
fi

wine "$program" "$@"
exit $?
