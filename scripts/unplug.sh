#!/bin/bash
# The long unplug run: builds what is missing, then unplugs and replugs a display's port 100
# times (or the count given) while mirpanel mirrors the moving scene, and prints how soon
# bytes came back after each replug and mirpanel's counters after cycle 2 and at the end.
# CTest runs the same for 10 cycles.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cycles=${1:-100}
"$root/scripts/build.sh"
win=$root/build/host/win
MIRVISTA_WINE_PREFIX=$win/wineprefix exec bash "$root/tests/main/unplug.sh" \
    "$win/app/mirpanel.exe" "$win/tools/mirscene/mirscene.exe" "$win/tools/winctl/winctl.exe" \
    "$win/tools/winctl/procstats.dll" "$cycles"
