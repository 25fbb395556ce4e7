#!/bin/bash
# Soak under Wine: mirpanel drives two displays (COM3 and COM4, one end of a socat pty pair
# each) at its full frame rate from the moving scene for SECONDS. Bytes must keep reaching
# both far ends in every 10-second stretch, mirpanel's handle count, GDI objects and private
# bytes must not grow from the start (after a 15-second warm-up, in which Wine's heap
# settles) to the end, and mirpanel must still close by itself.
#   soak.sh MIRPANEL.exe MIRSCENE.exe WINCTL.exe PROCSTATS.dll [SECONDS]
set -u
MIRPANEL=$1 MIRSCENE=$2 WINCTL=$3 PROCSTATS=$4
seconds=${5:-60}
export MIRVISTA_PORTS="3 4"
# shellcheck source=session.sh
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

session_start "G.MODE = 0
MO.0.ACTIVE = 1
MO.0.PORT = 3
MO.0.SPEED = 500000
MO.0.DITHER = 1
MO.1.ACTIVE = 1
MO.1.PORT = 4
MO.1.SPEED = 500000
MO.1.DITHER = 2
MO.1.POS.Y = 100" || exit 1
for n in 3 4; do
    wait_flow $n 10 0 || { echo "FAIL: no bytes on COM$n"; exit 1; }
done
sleep 15
mirpanel_stats >/dev/null # the first sample's own cost stays out of the comparison
sleep 1
start=$(mirpanel_stats)
echo "start: $start"

failures=0
declare -A last=([3]=$(flow_bytes 3) [4]=$(flow_bytes 4))
for ((elapsed = 10; elapsed <= seconds; elapsed += 10)); do
    sleep 10
    line="${elapsed}s:"
    for n in 3 4; do
        now=$(flow_bytes $n)
        line+=" COM$n +$((now - last[$n])) bytes"
        if [ "$now" -le "${last[$n]}" ]; then
            echo "FAIL: no bytes on COM$n in the 10 s up to ${elapsed}s"
            failures=$((failures + 1))
        fi
        last[$n]=$now
    done
    echo "$line, $(mirpanel_stats)"
done
end=$(mirpanel_stats)
echo "start: $start"
echo "end:   $end"
echo "bytes: COM3 $(flow_bytes 3), COM4 $(flow_bytes 4)"
check_growth "$start" "$end" || failures=$((failures + 1))
session_stop || failures=$((failures + 1))
[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "soak of $seconds s passed"
