#!/bin/bash
# Runs the sender link benchmark under Wine with COM3 one end of a pty pair whose other end is read and discarded.
set -eu
root=${MIRVISTA_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
exe=$root/build/host/win/bench/bench_link.exe
if [ ! -f "$exe" ]; then
    echo "bench_link.exe not built" >&2
    exit 1
fi
MIRVISTA_WINE_PRE=$root/cmake/wine-ports.sh MIRVISTA_WINE_POST=$root/cmake/wine-ports.sh \
    MIRVISTA_PORTS=3 MIRVISTA_SINK=3 \
    MIRVISTA_WINE_PREFIX=$root/build/host/win/wineprefix "$root/cmake/wine-run.sh" "$exe"
