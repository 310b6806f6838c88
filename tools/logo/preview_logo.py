#!/usr/bin/env python3
"""Writes preview pictures of the logo, to judge it as the show will use it.

  <prefix>_title.png  the logo at 1x in a 320 x 240 grey screen, where the title
                      sequence puts it (128, 60), and beside it at 4x
  <prefix>_tiled.png  the logo tiled over 320 x 240 (shown at 2x)
  <prefix>_roto.png   four 320 x 240 rotozoomer frames: turned and scaled tiling,
                      magnified, and a negative zoom (half a turn)

Usage: preview_logo.py [logo.png] [prefix]   (defaults: logo.png here, /tmp/logo_preview)
Needs python3-pil.
"""

import math
import os
import sys

from PIL import Image


def rotozoom(texture, angle, zoom):
    """One rotozoomer frame: 16.16 steps from a 1024-to-the-turn angle and a zoom."""
    px = texture.load()
    frame = Image.new("L", (320, 240))
    out = frame.load()
    sn = int(32767 * math.sin(angle * 2 * math.pi / 1024)) >> 7
    cs = int(32767 * math.cos(angle * 2 * math.pi / 1024)) >> 7
    m, l = zoom * sn, zoom * cs
    u = 32 * 65536 - 160 * m + 120 * l
    t = 32 * 65536 - 120 * m - 160 * l
    for y in range(240):
        uu, tt = u, t
        for x in range(320):
            out[x, y] = px[(uu >> 16) & 63, (tt >> 16) & 63]
            uu += m
            tt += l
        u -= l
        t += m
    return frame


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    source = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "logo.png")
    prefix = sys.argv[2] if len(sys.argv) > 2 else "/tmp/logo_preview"
    logo = Image.open(source).convert("L")

    title = Image.new("L", (320 + 20 + 256 + 20, 300), 75)
    title.paste(logo, (128, 60))
    title.paste(logo.resize((256, 256), Image.NEAREST), (340, 20))
    title.save(prefix + "_title.png")

    tiled = Image.new("L", (320, 240))
    for y in range(0, 240, 64):
        for x in range(0, 320, 64):
            tiled.paste(logo, (x, y))
    tiled.resize((640, 480), Image.NEAREST).save(prefix + "_tiled.png")

    roto = Image.new("L", (640, 480))
    for (x, y), (angle, zoom) in zip([(0, 0), (320, 0), (0, 240), (320, 240)],
                                     [(100, 200), (300, 400), (700, 120), (900, -300)]):
        roto.paste(rotozoom(logo, angle, zoom), (x, y))
    roto.save(prefix + "_roto.png")
    print("wrote", prefix + "_title.png,", prefix + "_tiled.png,", prefix + "_roto.png")


if __name__ == "__main__":
    main()
