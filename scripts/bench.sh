#!/bin/bash
# Builds and runs every benchmark: native ones from build/host/bench, Windows ones under Wine,
# and bench/*.sh drivers (which compare against outside baselines such as Pillow).
# Each prints its own ratios against a baseline measured in the same run.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
# Native benchmarks come from an optimised build without sanitizers.
cmake -S "$root" -B "$root/build/bench" -DCMAKE_BUILD_TYPE=Release -DMIRVISTA_SANITIZE=OFF \
    -DMIRVISTA_WINDOWS=OFF >/dev/null
cmake --build "$root/build/bench" -j"$(nproc)" -- --no-print-directory -s
export MIRVISTA_ROOT=$root
shopt -s nullglob
for b in "$root"/build/bench/bench/bench_*; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
done
for b in "$root"/build/host/win/bench/bench_*.exe; do
    case $(basename "$b") in bench_conversion_* | bench_frameloop.exe) continue ;; esac # run by their .sh
    echo "== $(basename "$b") (Wine)"
    MIRVISTA_WINE_PREFIX=$root/build/host/win/wineprefix "$root/cmake/wine-run.sh" "$b"
done
for b in "$root"/bench/*.sh; do
    echo "== $(basename "$b")"
    bash "$b"
done
