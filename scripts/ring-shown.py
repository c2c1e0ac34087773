#!/usr/bin/env python3
"""Tells whether a screenshot shows the ring menu centred on a point: exit 0 when it does.

   ring-shown.py shot.png [X Y]   (the centre, 640 512 by default)

The ring's band (radius 60 to 110 around its centre) is drawn in neutral greys, far from any
desktop colour, so most of the band must be grey and the desktop away from the ring must not be.
ImageMagick's convert reads the picture, so no imaging module is needed.
"""
import math
import subprocess
import sys


def pixels(path, x, y, size):
    raw = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (size, size, x, y), "-depth", "8", "rgb:-"],
                         check=True, capture_output=True).stdout
    return [raw[i:i + 3] for i in range(0, len(raw), 3)]


def grey(rgb):
    r, g, b = rgb
    return 40 <= r <= 215 and max(r, g, b) - min(r, g, b) <= 12


def main():
    path = sys.argv[1]
    cx, cy = (int(sys.argv[2]), int(sys.argv[3])) if len(sys.argv) >= 4 else (640, 512)
    size = 240
    x0, y0 = cx - size // 2, cy - size // 2
    band = [p for i, p in enumerate(pixels(path, x0, y0, size))
            if 60 <= math.hypot(x0 + i % size - cx, y0 + i // size - cy) <= 110]
    band_grey = sum(map(grey, band)) / max(len(band), 1)
    # A patch of the desktop well clear of the ring and of the task bar.
    away = pixels(path, cx - 300 if cx >= 400 else cx + 200, max(cy - 300, 0), 60)
    away_grey = sum(map(grey, away)) / max(len(away), 1)
    shown = band_grey >= 0.6 and away_grey <= 0.2
    print("ring %s: %.0f%% of the band grey, %.0f%% of the desktop patch" %
          ("shown" if shown else "not shown", 100 * band_grey, 100 * away_grey))
    return 0 if shown else 1


if __name__ == "__main__":
    sys.exit(main())
