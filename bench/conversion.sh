#!/bin/bash
# The frame pipeline against Pillow (Debian's python3-pil), measured in the same run:
#   luminance of a 384 x 256 capture    vs  Image.convert('L')   (target: >= 1.5x faster per pixel)
#   tone + Floyd-Steinberg, 128 x 64    vs  Image.convert('1')   (target: >= 2x faster per pixel)
#   one whole frame, one display, 384 x 256 dirty                (target: <= 500 us)
#   comparison of two unchanged 640 x 480 captures               (target: <= 100 us)
set -eu
root=${MIRVISTA_ROOT:-$(cd "$(dirname "$0")/.." && pwd)}
bench=$root/build/bench/bench/bench_conversion
[ -x "$bench" ] || { echo "conversion.sh: build bench_conversion first (scripts/bench.sh)"; exit 1; }

# Pillow and ours take turns for a few rounds and each figure keeps its best, so that load
# from other programs on the machine weighs on neither side more than on the other.
pillow_baseline() {
    /usr/bin/python3 - <<'PY'
import random, time
from PIL import Image

def best(f, batches=30, calls=20):
    b = float('inf')
    for _ in range(batches):
        t = time.perf_counter()
        for _ in range(calls):
            f()
        b = min(b, (time.perf_counter() - t) / calls)
    return b * 1e9

random.seed(1)
rgb = Image.frombytes('RGB', (384, 256), bytes(random.getrandbits(8) for _ in range(384 * 256 * 3)))
grey = Image.frombytes('L', (128, 64), bytes(16 + (i * 37) % 220 for i in range(128 * 64)))
print("pillow_L %.3f" % (best(lambda: rgb.convert('L')) / (384 * 256)))
print("pillow_1 %.3f" % (best(lambda: grey.convert('1'), calls=200) / (128 * 64)))
PY
}

best_of() { # lines "name value [unit]" from several rounds: the smallest value per name
    awk '{ if (!($1 in v) || $2 < v[$1]) { v[$1] = $2; u[$1] = $3 } }
         END { for (n in v) print n, v[n], u[n] }' | sort
}

rounds=${MIRVISTA_BENCH_ROUNDS:-5}
all_pillow=
all_ours=
for _ in $(seq "$rounds"); do
    all_pillow+=$(pillow_baseline)$'\n'
    all_ours+=$("$bench")$'\n'
done
pillow=$(printf '%s' "$all_pillow" | grep . | best_of)
ours=$(printf '%s' "$all_ours" | grep . | best_of)
echo "$pillow"
echo "$ours"
awk -v p="$pillow" -v o="$ours" 'BEGIN {
    n = split(p "\n" o, lines, "\n")
    for (i = 1; i <= n; i++) { split(lines[i], w, " "); v[w[1]] = w[2] }
    status = 0
    r = v["pillow_L"] / v["luma_384x256"]
    printf "luminance: %.2fx Pillow convert(\"L\") per pixel (target >= 1.5) %s\n", r, (r >= 1.5 ? "ok" : "MISSED")
    r2 = v["pillow_1"] / v["tone_fs_128x64"]
    printf "tone + Floyd-Steinberg: %.2fx Pillow convert(\"1\") per pixel (target >= 2) %s\n", r2, (r2 >= 2 ? "ok" : "MISSED")
    fr = v["convert_frame_384x256"]
    printf "whole frame: %.1f us (target <= 500) %s\n", fr, (fr <= 500 ? "ok" : "MISSED")
    c = v["compare_640x480_still"]
    printf "comparison: %.1f us (target <= 100) %s\n", c, (c <= 100 ? "ok" : "MISSED")
}'

# The i686 build under Wine, as mirpanel runs (SSE2) and without SSE2, each taking turns with
# Pillow as above. For information: the target is set on the host figure.
win=$root/build/host/win/bench
for exe in bench_conversion_i686 bench_conversion_i686_nosse2; do
    [ -f "$win/$exe.exe" ] || continue
    all_pillow=
    all_ours=
    for _ in $(seq "$rounds"); do
        all_pillow+=$(pillow_baseline)$'\n'
        all_ours+=$(MIRVISTA_WINE_PREFIX=$root/build/host/win/wineprefix \
            "$root/cmake/wine-run.sh" "$win/$exe.exe" | tr -d '\r')$'\n'
    done
    pillow=$(printf '%s' "$all_pillow" | grep . | best_of)
    ours=$(printf '%s' "$all_ours" | grep . | best_of)
    awk -v p="$pillow" -v o="$ours" -v name="$exe" 'BEGIN {
        n = split(p "\n" o, lines, "\n")
        for (i = 1; i <= n; i++) { split(lines[i], w, " "); v[w[1]] = w[2] }
        printf "%s (Wine): tone + Floyd-Steinberg %.3f ns per pixel, %.2fx Pillow; luminance %.3f ns, whole frame %.1f us\n",
            name, v["tone_fs_128x64"], v["pillow_1"] / v["tone_fs_128x64"], v["luma_384x256"],
            v["convert_frame_384x256"]
    }'
done
