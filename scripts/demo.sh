#!/bin/bash
# The demo: mirpanel under Wine on a virtual display. Leaves a screenshot of its window in
# out/demo/ and closes the program cleanly.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

win=$root/build/host/win
out=$root/out/demo
mkdir -p "$out"
export WINEPREFIX=$root/build/demo-prefix
# shellcheck source=../cmake/wine-env.sh
source "$root/cmake/wine-env.sh"

work=$(mktemp -d /tmp/mirvista-demo.XXXXXX)
xvfb_pid=
cleanup() {
    stop_wine
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work"
make_prefix
# The demo's settings live in its own application-data folder.
export APPDATA='Z:'"${work//\//\\}"

wine "$win/app/mirpanel.exe" &
wine "$win/tools/winctl/winctl.exe" wait MIRVISTA 30000
sleep 1
geometry=$(xwininfo -name Mirvista | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF} /Height:/{h=$NF} END{print w "x" h "+" x "+" y}')
import -window root -crop "$geometry" +repage "$out/mirpanel-window.png"
wine "$win/tools/winctl/winctl.exe" close MIRVISTA 20000
echo "mirpanel ran and closed cleanly."
echo "Screenshot of its window: $out/mirpanel-window.png"
