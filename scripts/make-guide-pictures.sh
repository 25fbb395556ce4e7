#!/bin/bash
# Makes the panel pictures of docs/guide.md: the one test image docs/guide/desktop.png (a
# 384 x 256 desktop capture) converted by `mirtool convert` with each picture's settings and
# rendered by `mirtool render` as the panel shows it, 3 times enlarged. The same mirtool makes
# the same bytes, so the committed pictures are reproduced exactly; the suite checks that.
#   make-guide-pictures.sh MIRTOOL [OUTDIR]   writes the pictures (default: docs/guide)
#   make-guide-pictures.sh --check MIRTOOL    makes them in a temporary folder and compares
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
image=$root/docs/guide/desktop.png

usage() {
    sed -n 's/^#   //p' "$0" | sed 's/^/usage: /' >&2
    exit 2
}

# Picture name, then the conversion options that make it.
pictures=(
    "panel-default|"
    "dither-0|--dither 0"
    "dither-2|--dither 2"
    "contrast-0.50|--contrast 0.5"
    "contrast-1.50|--contrast 1.5"
    "brightness-minus64|--offset -64"
    "brightness-plus64|--offset 64"
    "brightness-plus24|--offset 24"
    "gamma-0.50|--gamma 0.5"
    "gamma-1.50|--gamma 1.5"
    "invert|--invert 1"
    "rotate|--rotate 2"
    "position-128-64|--pos 128,64"
    "shrink-2-position-128-64|--pos 128,64 --shrink 2"
)

make_pictures() { # MIRTOOL OUTDIR
    local name options
    mkdir -p "$2"
    for entry in "${pictures[@]}"; do
        name=${entry%%|*}
        options=${entry#*|}
        # shellcheck disable=SC2086 # the options are words
        "$1" convert "$image" -o - $options 2>/dev/null |
            "$1" render - -o "$2/$name.png" --scale 3
    done
}

[ $# -ge 1 ] || usage
if [ "$1" = --check ]; then
    [ $# -eq 2 ] || usage
    work=$(mktemp -d /tmp/mirvista-guide.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    make_pictures "$2" "$work"
    status=0
    for entry in "${pictures[@]}"; do
        name=${entry%%|*}.png
        if ! cmp -s "$work/$name" "$root/docs/guide/$name"; then
            echo "docs/guide/$name differs from what mirtool makes now" >&2
            status=1
        fi
    done
    [ $status -eq 0 ] && echo "${#pictures[@]} guide pictures reproduced exactly"
    exit $status
fi
[ $# -le 2 ] || usage
make_pictures "$1" "${2:-$root/docs/guide}"
