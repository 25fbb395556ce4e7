#!/bin/bash
# Takes the README's screenshot of mirpanel's window: under Wine on a private Xvfb display,
# with "MS UI Gothic" mapped as cmake/wine-env.sh says and Wine drawing the window's caption
# and menu itself (no window manager). Display 0 is active on COM3, one end of a pty pair
# whose far end is read and discarded, so the window shows a running mirror.
#   screenshot.sh [OUT.png]   writes OUT.png (default: out/screenshot/mirpanel.png)
#   screenshot.sh --update    replaces the committed docs/mirpanel.png
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
case ${1:-} in
--update) out=$root/docs/mirpanel.png ;;
-*)
    sed -n 's/^#   /usage: /p' "$0" >&2
    exit 2
    ;;
*) out=${1:-$root/out/screenshot/mirpanel.png} ;;
esac
"$root/scripts/build.sh"

win=$root/build/host/win
export WINEPREFIX=$root/build/shot-prefix
# shellcheck source=../cmake/wine-env.sh
source "$root/cmake/wine-env.sh"
MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-shot.XXXXXX)
export MIRVISTA_TEST_TMP MIRVISTA_PORTS=3 MIRVISTA_SINK=3
work=$MIRVISTA_TEST_TMP
xvfb_pid=
cleanup() {
    end_wine_session
    rm -rf "$work"
}
trap cleanup EXIT

start_xvfb "$work"
make_prefix
source "$root/cmake/wine-ports.sh" # the ports' own prefix, made and font-mapped likewise
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

mkdir -p "$work/appdata/mirvane"
printf 'G.MODE = 0\nMO.0.ACTIVE = 1\nMO.0.PORT = 3\nMO.0.SPEED = 500000\nMO.0.DITHER = 1\n' \
    >"$work/appdata/mirvane/mirvista.ini"
wine cmd /c "set APPDATA=$(winpath "$work/appdata")&& $(winpath "$win/app/mirpanel.exe")" &
wine "$win/tools/winctl/winctl.exe" wait MIRVISTA 30000 >/dev/null
wine "$win/tools/mirscene/mirscene.exe" place MIRVISTA 16 16
# The first refresh shows the start-up notice; the timer's next one, 4 s on, the status.
sleep 6
geometry=$(wine "$win/tools/winctl/winctl.exe" rect MIRVISTA | tr -d '\r')
mkdir -p "$(dirname "$out")"
import -window root -crop "$geometry" +repage "$out"
wine "$win/tools/winctl/winctl.exe" close MIRVISTA 20000 >/dev/null
echo "Screenshot: $out ($geometry)"
