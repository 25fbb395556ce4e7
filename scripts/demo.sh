#!/bin/bash
# The demo: the main-screen mirror on a virtual display. Under Wine, mirscene draws a moving
# test scene at the desktop's top-left and mirpanel mirrors it onto display 0 on COM3, one
# end of a pty pair; `mirtool render --follow` plays the panel from the other end. After
# about 10 seconds everything is closed cleanly; out/demo/ then holds the panel's picture
# (PNG, scaled up) and a screenshot of the desktop, and the panel is shown here as ASCII art.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"

win=$root/build/host/win
mirtool=$root/build/host/tools/mirtool/mirtool
out=$root/out/demo
seconds=${MIRVISTA_DEMO_SECONDS:-10}
mkdir -p "$out"
export WINEPREFIX=$root/build/demo-prefix
# shellcheck source=../cmake/wine-env.sh
source "$root/cmake/wine-env.sh"

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-demo.XXXXXX)
export MIRVISTA_TEST_TMP MIRVISTA_PORTS=3
work=$MIRVISTA_TEST_TMP
xvfb_pid=
render_pid=
cleanup() {
    if [ -n "$render_pid" ]; then
        kill -TERM "$render_pid" 2>/dev/null || true
        wait "$render_pid" 2>/dev/null || true
    fi
    # shellcheck source=../cmake/wine-ports.sh
    if [ -n "${mirvista_ports_active:-}" ]; then source "$root/cmake/wine-ports.sh" || true; fi
    stop_wine
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

start_xvfb "$work"
make_prefix
source "$root/cmake/wine-ports.sh"

# The demo's settings: display 0 active on COM3 with Floyd-Steinberg dithering. Wine sets
# APPDATA itself, so cmd hands mirpanel the demo's own folder.
mkdir -p "$work/appdata/mirvane"
printf 'G.MODE = 0\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\nMO.0.DITHER = 1\n' \
    >"$work/appdata/mirvane/mirvista.ini"

rm -f "$out/panel.png" "$out/desktop.png" "$out/panel.txt" "$out/panel-before.png" "$out/panel-after.png"
"$mirtool" render "$work/peer3" --follow --ascii -o "$out/panel.png" --scale 4 \
    >"$out/panel.txt" 2>"$work/render.log" &
render_pid=$!

wine "$win/tools/mirscene/mirscene.exe" show &
wine "$win/tools/winctl/winctl.exe" wait MIRSCENE 30000 >/dev/null
wine cmd /c "set APPDATA=$(winpath "$work/appdata")&& $(winpath "$win/app/mirpanel.exe")" &
wine "$win/tools/winctl/winctl.exe" wait MIRVISTA 30000 >/dev/null
# mirpanel's window opens over the mirrored corner: move it aside.
wine "$win/tools/mirscene/mirscene.exe" place MIRVISTA 560 300
sleep "$seconds"

import -window root "$out/desktop.png"

# A setting changed through the window with real input: a click on the "+" of "白黒反転"
# (inversion) turns the panel's picture negative from the next frame on.
cp "$out/panel.png" "$out/panel-before.png"
wine "$win/tools/winctl/winctl.exe" click MIRVISTA 135 251 >/dev/null
sleep 2
cp "$out/panel.png" "$out/panel-after.png"
wine "$win/tools/winctl/winctl.exe" close MIRVISTA 20000 >/dev/null
wine "$win/tools/winctl/winctl.exe" close MIRSCENE 20000 >/dev/null
kill -TERM "$render_pid"
wait "$render_pid" || true
render_pid=

echo "The panel as the port left it:"
cat "$out/panel.txt"
echo
echo "mirpanel mirrored the scene for ${seconds} s and closed cleanly."
echo "Panel picture (4x): $out/panel.png"
echo "Before and after the inversion clicked in the window: $out/panel-before.png, $out/panel-after.png"
echo "Desktop screenshot: $out/desktop.png"
echo "Panel as ASCII art: $out/panel.txt"
