#!/bin/bash
# Runs the mirror driver test under Wine, then compares what external-monitor mode sent with
# mirtool convert of the dumps of the driver's frame buffer, same settings (threshold, as
# error diffusion depends on which areas were converted): the first frame byte for byte, and
# the panel after the drawing through the hooks picture for picture.
#   mirror_driver_check.sh TEST.exe MIRTOOL
set -u
test_exe=$1
mirtool=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp -d /tmp/mirvista-mirror.XXXXXX)
trap 'rm -rf "$out"' EXIT

MIRROR_OUT="Z:${out//\//\\}" "$here/../../cmake/wine-run.sh" "$test_exe" || exit 1
for f in sent1.bin frame1.ppm sent2.bin frame2.ppm; do
    [ -s "$out/$f" ] || { echo "FAIL: the test left no $f"; exit 1; }
done
"$mirtool" convert "$out/frame1.ppm" --dither 0 -o "$out/expect1.bin" || exit 1
cmp "$out/sent1.bin" "$out/expect1.bin" || { echo "FAIL: first frame differs"; exit 1; }
"$mirtool" convert "$out/frame2.ppm" --dither 0 -o "$out/expect2.bin" || exit 1
"$mirtool" render "$out/expect2.bin" -o "$out/expect2.pbm" || exit 1
"$mirtool" render "$out/sent2.bin" -o "$out/sent2.pbm" || exit 1
cmp "$out/sent2.pbm" "$out/expect2.pbm" || { echo "FAIL: panel after drawing differs"; exit 1; }
echo "first frame and panel match mirtool convert"
