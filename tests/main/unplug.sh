#!/bin/bash
# Unplug and replug under Wine: mirpanel mirrors the moving scene onto COM3, one end of a
# socat pty pair, and the pair is killed and started afresh CYCLES times (an adapter pulled
# out and put back). After every replug bytes must reach the far end again within 2 s, and
# over the run mirpanel's handle count, GDI objects and private bytes must not grow (the
# baseline is taken after two cycles, once the first reconnection has made what it keeps).
#   unplug.sh MIRPANEL.exe MIRSCENE.exe WINCTL.exe PROCSTATS.dll [CYCLES]
set -u
MIRPANEL=$1 MIRSCENE=$2 WINCTL=$3 PROCSTATS=$4
cycles=${5:-10}
export MIRVISTA_PORTS=3
# shellcheck source=session.sh
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

session_start "G.MODE = 0
MO.0.ACTIVE = 1
MO.0.PORT = 3
MO.0.SPEED = 500000" || exit 1
wait_flow 3 10 0 || { echo "FAIL: no bytes before the first unplug"; exit 1; }
mirpanel_stats >/dev/null # the first sample's own cost stays out of the comparison

failures=0
worst=0
baseline=
for cycle in $(seq "$cycles"); do
    port_request unplug 3 || exit 1
    reader_stop 3
    sleep 1.5 # out long enough for mirpanel to try the port in vain
    port_request plug 3 || exit 1
    before=$(flow_bytes 3)
    start=$(date +%s%N)
    reader_start 3
    if wait_flow 3 2 "$before"; then
        took=$((($(date +%s%N) - start) / 1000000))
        echo "cycle $cycle: bytes again after $took ms"
        [ "$took" -gt "$worst" ] && worst=$took
    else
        echo "FAIL: cycle $cycle: no bytes within 2 s of the replug"
        failures=$((failures + 1))
    fi
    [ "$cycle" -eq 2 ] && baseline=$(mirpanel_stats)
done
final=$(mirpanel_stats)
[ -n "$baseline" ] || baseline=$final
echo "after cycle 2:      $baseline"
echo "after cycle $cycles: $final"
echo "slowest return of the bytes: $worst ms"
check_growth "$baseline" "$final" || failures=$((failures + 1))
session_stop || failures=$((failures + 1))
[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all $cycles cycles passed"
