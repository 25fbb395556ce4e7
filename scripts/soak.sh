#!/bin/bash
# The long soak: builds what is missing, then mirpanel drives two displays from the moving
# scene for 10 minutes (or the seconds given) and prints its handle count, GDI objects and
# private bytes at the start, every 10 s and at the end. CTest runs the same for 60 s.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
"$root/scripts/build.sh"
win=$root/build/host/win
MIRVISTA_WINE_PREFIX=$win/wineprefix exec bash "$root/tests/main/soak.sh" \
    "$win/app/mirpanel.exe" "$win/tools/mirscene/mirscene.exe" "$win/tools/winctl/winctl.exe" \
    "$win/tools/winctl/procstats.dll" "$seconds"
