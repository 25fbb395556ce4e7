# Shared Wine set-up for the test runner and the demo; source it, then call the functions.
# Expects WINEPREFIX to be set by the caller.
export WINEARCH=win32
# Wine's debug channels stay quiet unless MIRVISTA_WINEDEBUG names some (+font,+comm, ...).
export WINEDEBUG=${MIRVISTA_WINEDEBUG:--all}
export LC_ALL=ja_JP.UTF-8 # ANSI code page 932, as on a Japanese Windows
# MIRVISTA_DLL_OVERRIDES adds a test's own, such as difxapi=n for a stand-in DLL beside the
# program in place of Wine's built-in one.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${MIRVISTA_DLL_OVERRIDES:+;$MIRVISTA_DLL_OVERRIDES}"

# shellcheck source=xvfb.sh
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

# Makes the 32-bit prefix on first use. Several runners may start at once: one makes it.
make_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        take_lock 9 "another run to finish making $WINEPREFIX"
        if [ ! -f "$WINEPREFIX/.mirvista-ready" ]; then
            rm -rf "$WINEPREFIX"
            wineboot --init >/dev/null 2>&1
            wineserver -w >/dev/null 2>&1
            touch "$WINEPREFIX/.mirvista-ready"
        fi
        add_wine_fonts
        map_ui_font
    ) 9>"$WINEPREFIX.lock"
}

# Wine's own fonts (fonts-wine), Marlett for the caption buttons and Tahoma among them: this
# Wine build does not load them from its data folder, so each prefix gets a copy in its
# Fonts folder. Without Marlett the caption buttons read "0 1 r".
add_wine_fonts() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    [ -d /usr/share/wine/fonts ] && [ -d "$fonts" ] || return 0
    cp -n /usr/share/wine/fonts/*.ttf "$fonts/" 2>/dev/null || true
}

# mirpanel draws with "MS UI Gothic", whose narrow kana fit the window's 100-pixel captions.
# Ume UI Gothic (fonts-horai-umefont) is made to its widths; the wider proportional faces
# (IPA P Gothic, VL PGothic, ...) clip "ミルベイン 画面ドライバ :" at its left. GetTextFaceA
# still names the face asked for. MIRVISTA_UI_FONT names another face to try. Done once per
# prefix and face, also for prefixes made before.
mirvista_ui_font=${MIRVISTA_UI_FONT:-Ume UI Gothic}
map_ui_font() {
    local marker=$WINEPREFIX/.mirvista-font
    [ "$(cat "$marker" 2>/dev/null)" = "$mirvista_ui_font" ] && return 0
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' \
        /d "$mirvista_ui_font" /f >/dev/null 2>&1 || return 1
    wineserver -w >/dev/null 2>&1
    echo "$mirvista_ui_font" >"$marker"
}

# Ends every Wine process of the prefix and waits for the server to go.
stop_wine() {
    wineserver -k >/dev/null 2>&1
    wineserver -w >/dev/null 2>&1
}

mirvista_cmake_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# One program at a time per prefix: the clean-up ends every Wine process of the prefix, and
# the hooks change its registry, so runs from several sessions must not overlap. The lock
# (descriptor 8) is held until the script ends.
lock_prefix() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 8>"$WINEPREFIX.run.lock"
    take_lock 8 "the Wine prefix $WINEPREFIX, which another run is using"
}

# Takes the lock open on descriptor FD, saying on stderr what it waits for when another
# process holds it, so that a run that seems to hang tells why.
take_lock() { # FD WHAT
    flock -n "$1" && return 0
    echo "waiting for $2..." >&2
    flock "$1"
}

# Ends a session: the ports hook's pairs (when it made any), Wine and the display.
end_wine_session() {
    # shellcheck source=wine-ports.sh
    if [ -n "${mirvista_ports_active:-}" ]; then source "$mirvista_cmake_dir/wine-ports.sh" || true; fi
    stop_wine
    stop_xvfb
}

# Z:\ path of a Unix path, for Windows command lines.
winpath() { local p=$1; echo "Z:${p//\//\\}"; }

# Asks the ports hook (cmake/wine-ports.sh) to unplug or plug pair N and waits for the answer.
port_request() { # unplug|plug N
    local request=$MIRVISTA_TEST_TMP/ctl/$1-$2
    rm -f "$request.done"
    touch "$request"
    for _ in $(seq 200); do
        [ -e "$request.done" ] && return 0
        sleep 0.05
    done
    echo "the ports hook did not answer $1 $2" >&2
    return 1
}
