#!/bin/bash
# Sourced by the unplug and soak tests: mirpanel mirroring the moving scene under Wine and
# Xvfb onto socat pty pairs (cmake/wine-ports.sh), with a byte counter on the far end of each
# pair and samples of mirpanel's handle count, GDI objects and private bytes.
# Expects: MIRPANEL MIRSCENE WINCTL PROCSTATS (paths), MIRVISTA_WINE_PREFIX, and
# MIRVISTA_PORTS (the COM numbers to make) set before it is sourced.

session_cmake=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)
export WINEPREFIX=${MIRVISTA_WINE_PREFIX:?}
# shellcheck source=../../cmake/wine-env.sh
source "$session_cmake/wine-env.sh"
lock_prefix

MIRVISTA_TEST_TMP=$(mktemp -d /tmp/mirvista-session.XXXXXX)
export MIRVISTA_TEST_TMP
tmp=$MIRVISTA_TEST_TMP
xvfb_pid=

# The byte counter of pair N: cat appends what reaches the far end to flowN.
reader_start() { # N
    : >>"$tmp/flow$1"
    cat "$tmp/peer$1" >>"$tmp/flow$1" 2>/dev/null &
    echo $! >"$tmp/reader$1.pid"
}
reader_stop() { # N
    [ -f "$tmp/reader$1.pid" ] || return 0
    kill "$(cat "$tmp/reader$1.pid")" 2>/dev/null
    wait "$(cat "$tmp/reader$1.pid")" 2>/dev/null
    rm -f "$tmp/reader$1.pid"
}
flow_bytes() { # N
    stat -c %s "$tmp/flow$1" 2>/dev/null || echo 0
}
# Waits up to $2 seconds for the count of pair N to grow past $3.
wait_flow() { # N SECONDS BYTES
    local deadline=$(($(date +%s%N) + $2 * 1000000000))
    while [ "$(date +%s%N)" -lt "$deadline" ]; do
        [ "$(flow_bytes "$1")" -gt "$3" ] && return 0
        sleep 0.02
    done
    [ "$(flow_bytes "$1")" -gt "$3" ]
}

session_cleanup() {
    local n
    for n in ${MIRVISTA_PORTS:-}; do reader_stop "$n"; done
    end_wine_session
    drop_tmp "$tmp"
}
trap session_cleanup EXIT
trap 'exit 130' INT TERM

# "handles=N gdi=N private=N" of mirpanel.
mirpanel_stats() {
    wine "$WINCTL" stats MIRVISTA "$(winpath "$PROCSTATS")" | tr -d '\r'
}
# Field NAME of a stats line.
stat_field() { # LINE NAME
    local field
    for field in $1; do
        [ "${field%%=*}" = "$2" ] && echo "${field#*=}"
    done
}

# Starts the display, the ports, the moving scene and mirpanel with the given settings
# lines, and a byte counter on every port.
session_start() { # INI
    local n appdata=$tmp/appdata
    start_xvfb "$tmp" || return 1
    make_prefix
    # shellcheck source=../../cmake/wine-ports.sh
    source "$session_cmake/wine-ports.sh" || return 1
    mkdir -p "$appdata/mirvane"
    printf '%s\n' "$1" >"$appdata/mirvane/mirvista.ini"
    wine "$MIRSCENE" show &
    wine "$WINCTL" wait MIRSCENE 30000 >/dev/null || { echo "the scene did not appear"; return 1; }
    wine cmd /c "set APPDATA=$(winpath "$appdata")&& $(winpath "$MIRPANEL")" &
    wine "$WINCTL" wait MIRVISTA 30000 >/dev/null || { echo "mirpanel did not start"; return 1; }
    for n in $MIRVISTA_PORTS; do reader_start "$n"; done
}

# Closes mirpanel and the scene; fails when mirpanel does not exit by itself.
session_stop() {
    wine "$WINCTL" close MIRVISTA 20000 >/dev/null || { echo "mirpanel did not exit"; return 1; }
    wine "$WINCTL" close MIRSCENE 10000 >/dev/null
    return 0
}

# Fails when a counter of $2 grew past the one of $1 by more than the slack allowed.
check_growth() { # BEFORE AFTER
    local ok=0 name slack was now
    for name in handles gdi private; do
        case $name in
        handles) slack=${MIRVISTA_HANDLE_SLACK:-8} ;;
        gdi) slack=${MIRVISTA_GDI_SLACK:-4} ;;
        private) slack=${MIRVISTA_PRIVATE_SLACK:-4194304} ;;
        esac
        was=$(stat_field "$1" "$name")
        now=$(stat_field "$2" "$name")
        if [ -z "$was" ] || [ -z "$now" ] || [ "$now" -gt $((was + slack)) ]; then
            echo "FAIL: $name grew from ${was:-?} to ${now:-?} (slack $slack)"
            ok=1
        fi
    done
    return $ok
}
