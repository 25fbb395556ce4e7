#!/bin/bash
# The demo, in three parts, each on display 0 on COM3 (one end of a pty pair), with
# `mirtool render --follow` playing the panel from the other end:
# 1. Main-screen mirror: under Wine, mirscene draws a moving test scene at the desktop's
#    top-left and mirpanel mirrors it.
# 2. External-monitor mode: mirexternal is mirpanel with the real mirror driver image in its
#    own process, beside the stand-in graphics engine and video miniport of the tests; it
#    draws a moving scene through the driver's hooks, and mirpanel's capture reads it back
#    through the driver's escapes and its mapped frame buffer.
# 3. Linux: `mirtool mirror` mirrors the same X display natively (no Wine), where xscene
#    moves a square over a test scene.
# Each part runs about 10 seconds and is closed cleanly; out/demo/ then holds each panel's
# picture (PNG, scaled up), a screenshot of the desktop, and the panels as ASCII art.
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
scene_pid=
cleanup() {
    [ -n "$scene_pid" ] && kill "$scene_pid" 2>/dev/null
    if [ -n "$render_pid" ]; then
        kill -TERM "$render_pid" 2>/dev/null || true
        wait "$render_pid" 2>/dev/null || true
    fi
    end_wine_session
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work"
make_prefix
source "$root/cmake/wine-ports.sh"

# The demo's settings: display 0 active on COM3 with Floyd-Steinberg dithering. Wine sets
# APPDATA itself, so cmd hands mirpanel the demo's own folder.
mkdir -p "$work/appdata/mirvane"
printf 'G.MODE = 0\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\nMO.0.DITHER = 1\n' \
    >"$work/appdata/mirvane/mirvista.ini"

rm -f "$out"/panel*.png "$out/desktop.png" "$out"/panel*.txt
start_render() {
    "$mirtool" render "$work/peer3" --follow --ascii -o "$out/$1.png" --scale 4 \
        >"$out/$1.txt" 2>>"$work/render.log" &
    render_pid=$!
}
stop_render() {
    kill -TERM "$render_pid"
    wait "$render_pid" || true
    render_pid=
}

start_render panel
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
stop_render

# Then the same display in external-monitor mode, through the mirror driver.
printf 'G.MODE = 1\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\nMO.0.DITHER = 1\n' \
    >"$work/appdata/mirvane/mirvista.ini"
start_render panel-external
wine cmd /c "set APPDATA=$(winpath "$work/appdata")&& $(winpath "$win/tools/mirexternal/mirexternal.exe")" &
wine "$win/tools/winctl/winctl.exe" wait MIRVISTA 30000 >/dev/null
sleep "$seconds"
wine "$win/tools/winctl/winctl.exe" close MIRVISTA 20000 >/dev/null
stop_render

# Then the X display itself, mirrored natively by mirtool, through the same pty pair.
start_render panel-linux
"$root/build/host/tools/xscene/xscene" show >/dev/null &
scene_pid=$!
"$mirtool" mirror --port "$work/com3" --seconds "$seconds"
kill "$scene_pid"
wait "$scene_pid" || true
scene_pid=
stop_render

echo "The panel as the port left it, main-screen mirror:"
cat "$out/panel.txt"
echo
echo "and external-monitor mode (through the mirror driver):"
cat "$out/panel-external.txt"
echo
echo "and mirtool mirror on Linux, mirroring the X display without Wine:"
cat "$out/panel-linux.txt"
echo
echo "mirpanel and mirtool mirror mirrored each scene for ${seconds} s and closed cleanly."
echo "Panel pictures (4x): $out/panel.png, $out/panel-external.png, $out/panel-linux.png"
echo "Before and after the inversion clicked in the window: $out/panel-before.png, $out/panel-after.png"
echo "Desktop screenshot: $out/desktop.png"
echo "Panels as ASCII art: $out/panel.txt, $out/panel-external.txt, $out/panel-linux.txt"
