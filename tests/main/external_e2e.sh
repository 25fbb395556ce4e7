#!/bin/bash
# External-monitor mode end to end under Wine: mirexternal (mirpanel with the real mirror
# driver image beside the stand-in engine and miniport) shows a still scene drawn through
# the driver's hooks and sends display 0 to COM3, one end of a pty pair. What reaches the
# other end must begin, byte for byte, with what `mirtool convert` makes of the virtual
# display's pixels (written by mirexternal at exit) with the same settings.
#   external_e2e.sh MIREXTERNAL.exe WINCTL.exe MIRTOOL
set -u
mirexternal=$1
winctl=$2
mirtool=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cmake_dir=$here/../../cmake

export WINEPREFIX=${MIRVISTA_WINE_PREFIX:?}
# shellcheck source=../../cmake/wine-env.sh
source "$cmake_dir/wine-env.sh"
lock_prefix

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-external.XXXXXX)
export MIRVISTA_TEST_TMP MIRVISTA_PORTS=3
tmp=$MIRVISTA_TEST_TMP
xvfb_pid=
reader_pid=
cleanup() {
    [ -n "$reader_pid" ] && kill -TERM "$reader_pid" 2>/dev/null
    end_wine_session
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

start_xvfb "$tmp" || exit 1
make_prefix
source "$cmake_dir/wine-ports.sh" || exit 1

mkdir -p "$tmp/appdata/mirvane"
printf 'G.MODE = 1\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\nMO.0.DITHER = 0\n' \
    >"$tmp/appdata/mirvane/mirvista.ini"
cat "$tmp/peer3" >"$tmp/sent.bin" &
reader_pid=$!
wine cmd /c "set APPDATA=$(winpath "$tmp/appdata")&& $(winpath "$mirexternal") --still --shot $(winpath "$tmp/display.ppm")" &
wine "$winctl" wait MIRVISTA 30000 >/dev/null || { echo "FAIL: no window"; exit 1; }
sleep 4
wine "$winctl" close MIRVISTA 20000 >/dev/null
for _ in $(seq 100); do [ -s "$tmp/display.ppm" ] && break; sleep 0.1; done
sleep 0.5
"$mirtool" convert "$tmp/display.ppm" --dither 0 -o "$tmp/expected.bin" || exit 1
size=$(stat -c %s "$tmp/expected.bin")
if [ "$size" -gt 0 ] && cmp -n "$size" "$tmp/sent.bin" "$tmp/expected.bin"; then
    echo "the first frame matches mirtool convert ($size bytes of $(stat -c %s "$tmp/sent.bin") sent)"
    exit 0
fi
echo "FAIL: the first frame differs from mirtool convert of the display"
exit 1
