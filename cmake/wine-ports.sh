#!/bin/bash
# Serial ports for Wine tests: sourced by cmake/wine-run.sh as both MIRVISTA_WINE_PRE and
# MIRVISTA_WINE_POST. The first call sets the ports up, the second tears them down.
#
# Settings (environment of the test):
#   MIRVISTA_PORTS="3 7"        COM numbers to create, each one end of a socat pty pair
#   MIRVISTA_PEER_PORTS="3:13"  also map the other end of pair 3 as COM13
#   MIRVISTA_RENDER="3"         follow the other end of pair 3 with `mirtool render`,
#                               writing $MIRVISTA_TEST_TMP/render3.pbm
#   MIRVISTA_MIRTOOL            path of the host mirtool
#   MIRVISTA_SINK="3"           read and discard everything that reaches the far end of pair 3
# Every other COM1..COM63 is mapped to a folder, which never opens, so that Wine's own
# mapping of /dev/ttyS* to COM1 upward cannot interfere.
# The port tests run in a prefix of their own beside the shared one ($WINEPREFIX-ports):
# they rewrite its registry and restart its wineserver, which must not disturb other
# programs (a demo, say) in the shared prefix.
#
# Files in $MIRVISTA_TEST_TMP (Z:\... for the Windows test):
#   comN, peerN                 the two pty ends of pair N (symlinks made by socat)
#   ctl/unplug-N, ctl/plug-N    requests: kill pair N, or start a new pair N on the same
#                               paths; answered by ctl/unplug-N.done, ctl/plug-N.done

# shellcheck source=pty-pairs.sh
source "$(dirname "${BASH_SOURCE[0]}")/pty-pairs.sh"

# Answers the test's plug and unplug requests until the test ends.
mirvista_ports_watch() {
    local ctl=$MIRVISTA_TEST_TMP/ctl request n
    while [ -d "$ctl" ]; do
        for request in "$ctl"/unplug-* "$ctl"/plug-*; do
            [ -e "$request" ] || continue
            case $request in *.done) continue ;; esac
            n=${request##*-}
            case $(basename "$request") in
            unplug-*)
                # Gone as on Windows: the port no longer opens (a dangling path would
                # open Wine's bare device object instead).
                mirvista_ports_pair_stop "$n"
                rm -f "$MIRVISTA_TEST_TMP/com$n"
                ln -s "$MIRVISTA_TEST_TMP/void" "$MIRVISTA_TEST_TMP/com$n"
                ;;
            plug-*) mirvista_ports_pair_start "$n" ;;
            esac
            rm -f "$request"
            touch "$request.done"
        done
        sleep 0.05
    done
}

mirvista_ports_registry() {
    local tmp=$MIRVISTA_TEST_TMP reg=$MIRVISTA_TEST_TMP/ports.reg n pair target
    mkdir -p "$tmp/void"
    {
        printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
        for n in $(seq 1 63); do
            target=$tmp/void
            case " ${MIRVISTA_PORTS:-} " in *" $n "*) target=$tmp/com$n ;; esac
            for pair in ${MIRVISTA_PEER_PORTS:-}; do
                [ "${pair#*:}" = "$n" ] && target=$tmp/peer${pair%%:*}
            done
            printf '"COM%d"="%s"\r\n' "$n" "$target"
        done
    } >"$reg"
    wine reg import "$reg" >/dev/null 2>&1 || return 1
    # mountmgr reads the key when Wine starts: restart, and warm up before the test runs.
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1
    return 0
}

mirvista_ports_render_start() {
    local n
    for n in ${MIRVISTA_RENDER:-}; do
        "$MIRVISTA_MIRTOOL" render "$MIRVISTA_TEST_TMP/peer$n" --follow \
            -o "$MIRVISTA_TEST_TMP/render$n.pbm" >/dev/null 2>"$MIRVISTA_TEST_TMP/render$n.log" &
        echo $! >"$MIRVISTA_TEST_TMP/render$n.pid"
    done
}

mirvista_ports_sink_start() {
    local n
    for n in ${MIRVISTA_SINK:-}; do
        cat "$MIRVISTA_TEST_TMP/peer$n" >/dev/null 2>&1 &
        echo $! >"$MIRVISTA_TEST_TMP/sink$n.pid"
    done
}

mirvista_ports_prefix() {
    export WINEPREFIX=$WINEPREFIX-ports
    make_prefix # from wine-env.sh, which the runner has sourced
}

mirvista_ports_up() {
    local n
    mirvista_ports_active=1 # the teardown runs even when this fails half-way
    mirvista_ports_prefix
    mkdir -p "$MIRVISTA_TEST_TMP/ctl"
    for n in ${MIRVISTA_PORTS:-}; do
        mirvista_ports_pair_start "$n" || return 1
    done
    mirvista_ports_registry || return 1
    mirvista_ports_render_start
    mirvista_ports_sink_start
    mirvista_ports_watch &
    mirvista_ports_watcher=$!
}

mirvista_ports_down() {
    local n pidfile
    rm -rf "$MIRVISTA_TEST_TMP/ctl" # ends the watcher
    [ -n "${mirvista_ports_watcher:-}" ] && wait "$mirvista_ports_watcher" 2>/dev/null
    for pidfile in "$MIRVISTA_TEST_TMP"/render*.pid "$MIRVISTA_TEST_TMP"/sink*.pid; do
        [ -f "$pidfile" ] || continue
        kill "$(cat "$pidfile")" 2>/dev/null
        wait "$(cat "$pidfile")" 2>/dev/null
    done
    for pidfile in "$MIRVISTA_TEST_TMP"/socat*.pid; do
        [ -f "$pidfile" ] || continue
        n=${pidfile##*/socat}
        mirvista_ports_pair_stop "${n%.pid}"
    done
    # Leave the shared prefix as the other tests expect it.
    wine reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1
    mirvista_ports_active=
}

if [ -z "${mirvista_ports_active:-}" ]; then
    mirvista_ports_up
else
    mirvista_ports_down
fi
