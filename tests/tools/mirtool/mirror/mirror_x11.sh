#!/bin/bash
# mirtool mirror on a private Xvfb, writing to one end of a socat pty pair:
#   e2e     a still scene; the panel rebuilt from the port equals `mirtool convert` of a
#           screenshot of the same pixels, for a settings file (position, inversion, half
#           turn, dither 1) and, on an X server without DAMAGE and MIT-SHM, for the same
#           settings as options.
#   damage  a 32 x 32 square moves 50 times: bytes reach the port after every move, and the
#           panel then equals `mirtool convert` of the screen; p95 latency and bytes per
#           move against the least possible are reported.
#   unplug  the pty pair is killed, its path left gone, and started again, ten times: a
#           whole picture arrives within 2 s each time, and the mirror's open files and
#           resident memory do not grow.
#   mirror_x11.sh PART MIRTOOL XSCENE
set -u
part=$1 mirtool=$2 xscene=$3
cmake_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../../../cmake" && pwd)
# shellcheck source=../../../../cmake/xvfb.sh
source "$cmake_dir/xvfb.sh"
# shellcheck source=../../../../cmake/pty-pairs.sh
source "$cmake_dir/pty-pairs.sh"

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-mirror.XXXXXX)
export MIRVISTA_TEST_TMP
tmp=$MIRVISTA_TEST_TMP
xvfb_pid=
background=()
cleanup() {
    local pid
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
    mirvista_ports_pair_stop 0
    stop_xvfb
    drop_tmp "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
fail() {
    echo "FAIL: $*"
    exit 1
}

# Starts a display (the arguments go to Xvfb) with the still scene on it.
start_scene() {
    stop_xvfb
    start_xvfb "$tmp" "$@" || exit 1
    rm -f "$tmp/scene.out"
    "$xscene" show --still >"$tmp/scene.out" &
    background+=("$!")
    for _ in $(seq 100); do
        [ -s "$tmp/scene.out" ] && return 0
        sleep 0.05
    done
    fail "the scene did not appear"
}

# The panel that `mirtool convert` makes of a screenshot, with the given options.
expected_panel() { # OUT.pbm OPTIONS...
    "$xscene" shot "$tmp/screen.ppm" &&
        "$mirtool" convert "$tmp/screen.ppm" -o "$tmp/expected.bin" "${@:2}" &&
        "$mirtool" render "$tmp/expected.bin" -o "$1" || fail "xscene shot or mirtool failed"
}

mirror_panel() { # OUT.pbm MIRROR-OPTIONS...
    "$mirtool" render "$tmp/peer0" --follow -o "$1" 2>>"$tmp/render.log" &
    local render=$!
    "$mirtool" mirror --seconds 2 "${@:2}" || fail "mirtool mirror ${*:2} exited with $?"
    sleep 0.3 # the follower rewrites its picture at most every 100 ms
    kill "$render" && wait "$render"
}

e2e() {
    local options=(--dither 1 --pos 16,8 --invert 1 --rotate 2 --contrast 1.5 --offset -10)
    printf 'MO.0.ACTIVE = 1\nMO.0.DEVICE = %s\nMO.0.DITHER = 1\nMO.0.POS.X = 16\nMO.0.POS.Y = 8\nMO.0.INVERT = 1\nMO.0.ROTATE = 2\nMO.0.CONTRAST = 1.5\nMO.0.OFFSET = -10\n' \
        "$tmp/com0" >"$tmp/mirvista.ini"
    start_scene
    expected_panel "$tmp/expected.pbm" "${options[@]}"
    mirror_panel "$tmp/panel.pbm" --config "$tmp/mirvista.ini"
    cmp "$tmp/panel.pbm" "$tmp/expected.pbm" || fail "the panel differs from mirtool convert's"
    echo "ok   settings file, MIT-SHM and DAMAGE"
    start_scene -extension DAMAGE -extension MIT-SHM
    expected_panel "$tmp/expected.pbm" "${options[@]}"
    mirror_panel "$tmp/panel.pbm" --port "$tmp/com0" "${options[@]}"
    cmp "$tmp/panel.pbm" "$tmp/expected.pbm" || fail "the panel differs without the extensions"
    echo "ok   options, GetImage and comparison"
}

# The far end, read all along: the bytes into $tmp/stream, each read logged as "seconds count".
start_reader() {
    python3 -u - "$tmp/peer0" "$tmp/stream" >"$tmp/arrivals" <<'PY' &
import os, sys, time
fd = os.open(sys.argv[1], os.O_RDONLY | os.O_NOCTTY)
with open(sys.argv[2], "wb") as out:
    while True:
        try:
            data = os.read(fd, 65536)
        except OSError:
            break
        if not data:
            break
        out.write(data)
        out.flush()
        print("%.6f %d" % (time.time(), len(data)))
PY
    background+=("$!")
}

damage() {
    local moves=50 gap=200
    start_scene
    start_reader
    "$mirtool" mirror --port "$tmp/com0" --dither 0 --seconds $((moves * gap / 1000 + 4)) &
    local mirror=$!
    sleep 1.5
    "$xscene" move "$moves" "$gap" >"$tmp/changes" || fail "xscene move failed"
    wait "$mirror" || fail "mirtool mirror exited with $?"
    expected_panel "$tmp/expected.pbm" --dither 0
    "$mirtool" render "$tmp/stream" -o "$tmp/panel.pbm" || fail "mirtool render failed"
    cmp "$tmp/panel.pbm" "$tmp/expected.pbm" || fail "the last panel differs from mirtool convert's"
    python3 - "$tmp/changes" "$tmp/arrivals" "$gap" <<'PY' || fail "a move did not reach the port"
import sys
changes = [list(map(float, l.split())) for l in open(sys.argv[1]) if l.strip()]
arrivals = [tuple(map(float, l.split())) for l in open(sys.argv[2]) if l.strip()]
gap = float(sys.argv[3]) / 1000.0
def tiles(x, y):  # the panel tiles (16 x 8) a square at (x, y) covers
    return {(c, r) for c in range(max(x, 0) // 16, (x + 31) // 16 + 1) for r in range(y // 8, (y + 31) // 8 + 1)}
latencies, sent, least, missed = [], 0, 0, 0
for t, ox, oy, x, y in changes:
    after = [(at, n) for at, n in arrivals if t <= at < t + gap]
    least += 17 * len(tiles(int(ox), int(oy)) | tiles(int(x), int(y)))
    if not after:
        missed += 1
        continue
    latencies.append((after[0][0] - t) * 1000)
    sent += sum(n for _, n in after)
latencies.sort()
p95 = latencies[int(0.95 * (len(latencies) - 1))] if latencies else float("nan")
print("%d of %d moves reached the port; latency p50 %.1f ms, p95 %.1f ms, max %.1f ms"
      % (len(latencies), len(changes), latencies[len(latencies) // 2] if latencies else 0, p95,
         latencies[-1] if latencies else 0))
if latencies:
    print("bytes per move %.1f (whole pictures every 4 s included) against the least possible %.1f"
          " (the tiles of both squares x 17): %.2fx"
          % (sent / len(latencies), least / len(changes), sent / len(latencies) / (least / len(changes))))
sys.exit(1 if missed else 0)
PY
}

proc_stats() { # PID: "open-files resident-kB"
    echo "$(find "/proc/$1/fd" -mindepth 1 2>/dev/null | wc -l) $(awk '/^VmRSS/ { print $2 }' "/proc/$1/status")"
}

unplug() {
    local cycles=10 worst=0 baseline='' final start took
    start_scene
    expected_panel "$tmp/expected.pbm" --dither 0
    "$mirtool" mirror --port "$tmp/com0" --dither 0 2>"$tmp/mirror.log" &
    local mirror=$!
    background+=("$mirror")
    timeout 5 head -c 1088 "$tmp/peer0" >/dev/null || fail "no picture before the first unplug"
    for cycle in $(seq "$cycles"); do
        mirvista_ports_pair_stop 0
        rm -f "$tmp/com0" "$tmp/peer0"
        sleep 1.5 # gone long enough for the mirror to try it in vain
        start=$(date +%s%N)
        mirvista_ports_pair_start 0 || exit 1
        timeout 2 head -c 1088 "$tmp/peer0" >"$tmp/whole.bin"
        took=$((($(date +%s%N) - start) / 1000000))
        "$mirtool" render "$tmp/whole.bin" -o "$tmp/panel.pbm" 2>/dev/null
        cmp -s "$tmp/panel.pbm" "$tmp/expected.pbm" ||
            fail "cycle $cycle: no whole picture within 2 s of the replug ($(stat -c %s "$tmp/whole.bin") bytes)"
        [ "$took" -gt "$worst" ] && worst=$took
        [ "$cycle" -eq 2 ] && baseline=$(proc_stats "$mirror")
    done
    final=$(proc_stats "$mirror")
    echo "whole picture again within $worst ms at the slowest of $cycles replugs"
    echo "open files and resident kB after cycle 2: $baseline, after cycle $cycles: $final"
    read -r files rss <<<"$baseline"
    read -r files_now rss_now <<<"$final"
    [ "$files_now" -le "$files" ] || fail "open files grew from $files to $files_now"
    [ "$rss_now" -le $((rss + ${MIRVISTA_RSS_SLACK_KB:-1024})) ] || fail "resident memory grew from $rss to $rss_now kB"
    [ "$(grep -c 'back again' "$tmp/mirror.log")" -eq "$cycles" ] || fail "not one line per replug: $(cat "$tmp/mirror.log")"
}

mirvista_ports_pair_start 0 || exit 1
case $part in
e2e) e2e ;;
damage) damage ;;
unplug) unplug ;;
*) fail "unknown part $part" ;;
esac
echo "passed"
