#!/bin/bash
# Pseudo-terminal pairs made by socat, as serial ports whose far end a test reads: pair N is
# $MIRVISTA_TEST_TMP/comN (the port) and peerN (the far end); killing the pair is pulling
# out the adapter. Source it, then call the functions.

mirvista_ports_pair_start() { # N
    local n=$1 tmp=$MIRVISTA_TEST_TMP
    rm -f "$tmp/com$n" "$tmp/peer$n"
    socat "pty,raw,echo=0,link=$tmp/com$n" "pty,raw,echo=0,link=$tmp/peer$n" \
        >/dev/null 2>&1 </dev/null &
    echo $! >"$tmp/socat$n.pid"
    for _ in $(seq 200); do
        [ -e "$tmp/com$n" ] && [ -e "$tmp/peer$n" ] && return 0
        sleep 0.02
    done
    echo "pty-pairs: socat pair $n did not start" >&2
    return 1
}

mirvista_ports_pair_stop() { # N
    local pidfile=$MIRVISTA_TEST_TMP/socat$1.pid
    [ -f "$pidfile" ] || return 0
    local pid
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.02
    done
    rm -f "$pidfile"
}
