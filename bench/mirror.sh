#!/bin/bash
# mirtool mirror (the optimised build) on a private Xvfb, display 0 on one end of a pty pair
# whose other end is read and discarded:
#  1. CPU at a still scene against `xscene copy`, a bare program copying the same 128 x 64
#     area through MIT-SHM every 40 ms, the shortest capture spacing the mirror keeps. The
#     mirror runs twice: with DAMAGE (it fetches only what was drawn, here nothing but the
#     whole picture every 4 s) and on an X server without DAMAGE (it fetches and compares
#     the area at every capture, as the copier copies it). Target: <= 1.2x the copier.
#     The X server's CPU beside each, since the copies are its work too.
#  2. CPU on a moving scene (a 32 x 32 square moving every 50 ms inside the display's
#     window), beside the copier's.
# CPU is read from the scheduler's per-thread nanosecond counters over MIRVISTA_MIRROR_SECONDS
# (default 20) per measurement; the programs take turns for MIRVISTA_MIRROR_ROUNDS (default 2).
set -u
root=${MIRVISTA_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
mirtool=$root/build/bench/tools/mirtool/mirtool
xscene=$root/build/bench/tools/xscene/xscene
for f in "$mirtool" "$xscene"; do
    [ -x "$f" ] || { echo "mirror.sh: $f not built (scripts/bench.sh)"; exit 1; }
done
seconds=${MIRVISTA_MIRROR_SECONDS:-20}
rounds=${MIRVISTA_MIRROR_ROUNDS:-2}
# shellcheck source=../cmake/xvfb.sh
source "$root/cmake/xvfb.sh"
# shellcheck source=../cmake/pty-pairs.sh
source "$root/cmake/pty-pairs.sh"

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-bench-mirror.XXXXXX)
export MIRVISTA_TEST_TMP
tmp=$MIRVISTA_TEST_TMP
xvfb_pid=
scene_pid=
sink_pid=
stop_pid() { [ -n "$1" ] && kill "$1" 2>/dev/null && wait "$1" 2>/dev/null; }
cleanup() {
    stop_pid "$scene_pid"
    stop_pid "$sink_pid"
    mirvista_ports_pair_stop 0
    stop_xvfb
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mirvista_ports_pair_start 0 || exit 1
cat "$tmp/peer0" >/dev/null 2>&1 &
sink_pid=$!

cpu_ns() { # the CPU time of every thread of a process, in ns
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'
}

# measure NAME PID: the process's CPU and the X server's over $seconds, as % of a core.
measure() {
    local a b xa xb
    a=$(cpu_ns "$2")
    xa=$(cpu_ns "$xvfb_pid")
    sleep "$seconds"
    b=$(cpu_ns "$2")
    xb=$(cpu_ns "$xvfb_pid")
    awk -v n="$1" -v a="$a" -v b="$b" -v xa="$xa" -v xb="$xb" -v s="$seconds" \
        'BEGIN { printf "%s %.3f %%cpu Xvfb %.3f %%cpu\n", n, (b - a) / s / 1e7, (xb - xa) / s / 1e7 }'
}

# scene [--still] XVFB-ARGS...: a new display with the scene on it.
scene() {
    stop_pid "$scene_pid"
    stop_xvfb
    start_xvfb "$tmp" "${@:2}" || exit 1
    "$xscene" show ${1:+"$1"} >"$tmp/scene.out" &
    scene_pid=$!
    sleep 1
}

run_mirror() { # NAME
    "$mirtool" mirror --port "$tmp/com0" --seconds $((seconds + 3)) 2>/dev/null &
    local pid=$!
    sleep 2
    measure "$1" "$pid"
    wait "$pid"
}

run_copier() { # NAME
    "$xscene" copy 40 $((seconds + 3)) 128 64 &
    local pid=$!
    sleep 2
    measure "$1" "$pid"
    wait "$pid"
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
cpu=$tmp/cpu
for _ in $(seq "$rounds"); do
    scene --still
    run_mirror mirror_damage | tee -a "$cpu"
    run_copier copier | tee -a "$cpu"
    scene --still -extension DAMAGE
    run_mirror mirror_compare | tee -a "$cpu"
done
scene ""
run_mirror mirror_moving | tee -a "$cpu"
run_copier copier_moving | tee -a "$cpu"
awk '{ v[$1] += $2; x[$1] += $5; c[$1]++ }
    END {
        for (k in v) { v[k] /= c[k]; x[k] /= c[k] }
        r = v["mirror_compare"] / v["copier"]
        printf "still scene: the mirror comparing captures %.3f %% of a core, %.2fx the copier every 40 ms (%.3f %%) (target <= 1.2) %s\n",
            v["mirror_compare"], r, v["copier"], (r <= 1.2 ? "ok" : "MISSED")
        r = v["mirror_damage"] / v["copier"]
        printf "  with DAMAGE %.3f %% of a core, %.2fx the copier (target <= 1.2) %s\n",
            v["mirror_damage"], r, (r <= 1.2 ? "ok" : "MISSED")
        printf "  Xvfb meanwhile: %.3f %% comparing, %.3f %% with DAMAGE, %.3f %% with the copier\n",
            x["mirror_compare"], x["mirror_damage"], x["copier"]
        printf "moving scene: the mirror %.3f %% of a core (Xvfb %.3f %%), the copier %.3f %% (Xvfb %.3f %%)\n",
            v["mirror_moving"], x["mirror_moving"], v["copier_moving"], x["copier_moving"]
    }' "$cpu"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
