#!/bin/bash
# End to end under Wine and Xvfb: mirpanel mirrors a still scene onto display 0 (COM3, one
# end of a pty pair); `mirtool render --follow` rebuilds the panel from the other end. For
# each settings case the panel must equal `mirtool render` of `mirtool convert` run on a
# screenshot of the same capture area with the same settings (for the animated halftone:
# one of the frame counter's four phases).
#   mirror_e2e.sh MIRPANEL.exe MIRSCENE.exe WINCTL.exe MIRTOOL
#
# mirpanel's own window opens over the capture area, so each case starts it with COM3
# unplugged, moves its window aside, and only then plugs the port in: the first frame
# then captures the still scene alone, in full.
set -u
mirpanel=$1
mirscene=$2
winctl=$3
mirtool=$4
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmake_dir=$here/../../cmake

export WINEPREFIX=${MIRVISTA_WINE_PREFIX:?}
# shellcheck source=../../cmake/wine-env.sh
source "$cmake_dir/wine-env.sh"
lock_prefix

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-e2e.XXXXXX)
export MIRVISTA_TEST_TMP MIRVISTA_PORTS=3
tmp=$MIRVISTA_TEST_TMP
xvfb_pid=
render_pid=
stop_render() {
    if [ -n "$render_pid" ]; then
        kill -TERM "$render_pid" 2>/dev/null
        wait "$render_pid" 2>/dev/null
        render_pid=
    fi
}
cleanup() {
    stop_render
    end_wine_session
    drop_tmp "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb "$tmp" || exit 1
make_prefix
source "$cmake_dir/wine-ports.sh" || exit 1

appdata=$tmp/appdata
mkdir -p "$appdata/mirvane"

wine "$mirscene" show --still &
wine "$winctl" wait MIRSCENE 30000 >/dev/null || { echo "the scene did not appear"; exit 1; }

failures=0

# Waits until the panel has not changed for a second (at most 20 seconds).
wait_for_panel() {
    local last= now= still=0
    for _ in $(seq 80); do
        sleep 0.25
        now=$(md5sum "$tmp/panel.pbm" 2>/dev/null | cut -d' ' -f1)
        if [ -n "$now" ] && [ "$now" = "$last" ]; then
            still=$((still + 1))
            [ $still -ge 4 ] && return 0
        else
            still=0
        fi
        last=$now
    done
    return 1
}

start_mirpanel() {
    port_request unplug 3 || return 1
    # Wine sets APPDATA itself; cmd hands mirpanel the case's own folder.
    wine cmd /c "set APPDATA=$(winpath "$appdata")&& $(winpath "$mirpanel")" &
    wine "$winctl" wait MIRVISTA 30000 >/dev/null || return 1
    wine "$mirscene" place MIRVISTA 600 320 || return 1
    sleep 1
    port_request plug 3 || return 1
    rm -f "$tmp/panel.pbm"
    "$mirtool" render "$tmp/peer3" --follow -o "$tmp/panel.pbm" 2>>"$tmp/render.log" &
    render_pid=$!
    wait_for_panel
}

# run_case NAME "INI LINES" "CONVERT OPTIONS" [PHASES]
run_case() {
    local name=$1 ini=$2 options=$3 phases=${4:-1}
    printf 'G.MODE = 0\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\n%s\n' "$ini" \
        >"$appdata/mirvane/mirvista.ini"
    if ! start_mirpanel; then
        echo "FAIL $name: no picture reached the port"
        failures=$((failures + 1))
        wine "$winctl" close MIRVISTA 20000 >/dev/null
        stop_render
        return
    fi
    wine "$mirscene" shot "$tmp/screen.ppm" 384 256
    wine "$winctl" close MIRVISTA 20000 >/dev/null
    stop_render
    cp "$tmp/panel.pbm" "$tmp/$name.panel.pbm"
    local k images=() match=
    for k in $(seq "$phases"); do
        images+=("$tmp/screen.ppm")
        # shellcheck disable=SC2086
        if ! "$mirtool" convert "${images[@]}" -o "$tmp/$name.$k.bin" $options ||
            ! "$mirtool" render "$tmp/$name.$k.bin" -o "$tmp/$name.$k.pbm"; then
            echo "FAIL $name: mirtool convert or render failed"
            failures=$((failures + 1))
            return
        fi
        cmp -s "$tmp/$name.panel.pbm" "$tmp/$name.$k.pbm" && match=$k
    done
    if [ -n "$match" ]; then
        echo "ok   $name (convert's frame $match of $phases)"
    else
        echo "FAIL $name: the panel differs from mirtool convert's picture"
        failures=$((failures + 1))
    fi
}

run_case threshold "MO.0.DITHER = 0" "--dither 0"
run_case diffusion "MO.0.DITHER = 1" "--dither 1"
run_case halftone "MO.0.DITHER = 2" "--dither 2" 4
run_case invert "MO.0.DITHER = 0
MO.0.INVERT = 1" "--dither 0 --invert 1"
run_case rotate "MO.0.DITHER = 0
MO.0.ROTATE = 2" "--dither 0 --rotate 2"
run_case moved "MO.0.DITHER = 1
MO.0.POS.X = 32
MO.0.POS.Y = 16
MO.0.CONTRAST = 1.5
MO.0.OFFSET = -10" "--dither 1 --pos 32,16 --contrast 1.5 --offset -10"

wine "$winctl" close MIRSCENE 10000 >/dev/null
[ $failures -eq 0 ] || { echo "$failures case(s) failed"; exit 1; }
echo "all cases match"
