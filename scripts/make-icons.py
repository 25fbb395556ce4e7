#!/usr/bin/python3
"""Draws mirpanel's two icons and writes them as .ico files with icotool.

    make-icons.py OUTDIR     (writes OUTDIR/mirpanel.ico and OUTDIR/small.ico)

The drawing: a Mirvane panel (a dark bezel round a 2:1 one-bit screen showing a white
window mark), and, on the large icon, a desktop monitor behind it whose picture the panel
mirrors. Each icon holds eight images: 32 and 16 pixels with 16 colours, and 48, 32 and 16
pixels with 256 colours and with 32-bit colour and alpha.
"""
import os
import subprocess
import sys
import tempfile

from PIL import Image, ImageDraw

BEZEL = (40, 44, 52, 255)
SCREEN = (0, 0, 0, 255)
INK = (255, 255, 255, 255)
MONITOR = (0, 96, 160, 255)
MONITOR_EDGE = (0, 48, 96, 255)


def box(draw, size, x0, y0, x1, y1, fill):
    """A rectangle given in 1/32 units of the icon's size."""
    s = size / 32.0
    draw.rectangle([round(x0 * s), round(y0 * s), round(x1 * s) - 1, round(y1 * s) - 1],
                   fill=fill)


def draw_icon(size, with_monitor):
    image = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    draw = ImageDraw.Draw(image)
    if with_monitor:
        box(draw, size, 2, 3, 24, 19, MONITOR_EDGE)
        box(draw, size, 3, 4, 23, 18, MONITOR)
        box(draw, size, 11, 19, 15, 22, MONITOR_EDGE)
        top = 14
    else:
        top = 8
    # The panel: a bezel round a 2:1 screen with a window mark.
    box(draw, size, 4, top, 32, top + 16, BEZEL)
    box(draw, size, 6, top + 2, 30, top + 14, SCREEN)
    box(draw, size, 9, top + 4, 27, top + 12, INK)
    box(draw, size, 10, top + 6, 26, top + 11, SCREEN)
    box(draw, size, 10, top + 4, 27, top + 5, INK)
    return image


def write_icon(path, with_monitor, work):
    files = []
    for size, colours in ((32, 16), (16, 16), (48, 256), (32, 256), (16, 256),
                          (48, 0), (32, 0), (16, 0)):
        image = draw_icon(size, with_monitor)
        name = os.path.join(work, "%d-%d.png" % (size, colours))
        if colours:
            # Palette images keep full transparency as their mask.
            image = image.quantize(colors=colours - 1, method=Image.Quantize.FASTOCTREE)
        image.save(name)
        depth = {16: 4, 256: 8, 0: 32}[colours]
        files += ["-b", str(depth), name]
    subprocess.run(["icotool", "-c", "-o", path] + files, check=True)


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        sys.exit("usage: make-icons.py OUTDIR     (writes OUTDIR/mirpanel.ico and "
                 "OUTDIR/small.ico)")
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    with tempfile.TemporaryDirectory() as work:
        write_icon(os.path.join(out, "mirpanel.ico"), True, work)
        write_icon(os.path.join(out, "small.ico"), False, work)


if __name__ == "__main__":
    main()
