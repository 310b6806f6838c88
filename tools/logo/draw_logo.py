#!/usr/bin/env python3
"""Draws the QUILLOX group logo: 64 x 64 pixels in the 16 greys of the logo palette.

A dark rounded-square plate with a bevelled frame carries a raised, glossy "Q"
whose tail is the metal nib of a quill pen, breaking through the frame's lower
right corner. Everything is lit from the top left and casts short shadows.
Each pixel takes one palette grey by its role (background, shadow, frame bevel,
frame top, field, letter face, letter bevel, nib), sampled at the pixel centre,
so the picture has clean edges when it is tiled and turned by the rotozoomer.

The greys are numbered by how often they are used, so the shading ramps below
are balanced to keep that order: after a change, check the table this script
prints (and the encoder rejects a picture that breaks the order).

Usage: draw_logo.py [output.png]   (default: logo.png next to this script)
Needs python3-pil. Then rebuild the stored stream with the 'logo' build target.
"""

import math
import os
import sys

from PIL import Image

SIZE = 64

# Logo palette greys, numbered by how often the picture uses them.
PALETTE = [75, 50, 24, 52, 43, 34, 229, 15, 109, 194, 59, 153, 66, 71, 255, 0]

BG = 75

# Light comes from the top left and a little from the front.
LIGHT = (-0.55, -0.70, 0.45)
LIGHT = tuple(v / math.sqrt(sum(c * c for c in LIGHT)) for v in LIGHT)

CX, CY = 32.0, 32.0        # plate centre (between pixels 31 and 32)
HALF = 24.5                # half side of the rounded-square plate
CORNER = 8.0               # corner radius of the plate
SLOPE = 2.0                # outer bevel of the frame
FRAME = 4.4                # outer bevel plus flat frame top
WALL = 5.4                 # plus the inner wall down to the field
SHADOW_DX, SHADOW_DY = 1.0, 1.0   # the plate's shadow on the background
WALL_SHADOW = 2.0          # the frame's shadow on the field
LETTER_SHADOW = 2.2        # the letter's shadow on frame and field

# The Q: a ring a little above and left of the centre.
QX, QY = 31.0, 30.5
Q_MID = 10.8               # radius of the middle of the stroke
Q_HALF = 4.5               # half the stroke width
GLOSS_R = Q_MID + 0.8      # the gloss line on the face: radius and angles
GLOSS_FROM, GLOSS_TO = 190.0, 260.0   # (degrees, 0 = right, 90 = down)
BEVEL = 1.5                # width of the letter's bevel

# The tail: a quill nib crossing the ring's lower right and breaking through the frame.
NIB_ROOT = (35.5, 35.5)    # middle of the rounded back end
NIB_TIP = (55.0, 55.0)
NIB_SHOULDER = 0.3         # widest point, as a fraction of the length
NIB_HALF_ROOT = 2.9        # half widths at the back end and the shoulder
NIB_HALF_SHOULDER = 3.8

# Shading ramps: (light level, grey) pairs from bright to dark; a pixel takes the
# grey of the first level its light exceeds.
SHADOW_RAMP = [(0.95, 59), (0.75, 66), (0.45, 71), (-99, BG)]
RING_BEVEL_RAMP = [(0.96, 255), (0.5, 229), (0.38, 194), (0.3, 153), (0.2, 109),
                   (0.14, 71), (0.08, 66), (0.0, 59), (-0.2, 52), (-0.45, 43),
                   (-0.7, 15), (-99, 0)]
FRAME_BEVEL_RAMP = [(0.97, 255), (0.76, 229), (0.55, 194), (0.4, 153), (0.25, 109),
                    (0.18, 71), (0.12, 66), (0.05, 59), (-0.15, 52), (-0.2, 43),
                    (-0.3, 34), (-99, 24)]
FRAME_TOP_RAMP = [(0.4, 52), (0.3, 43), (-99, 34)]
FRAME_WALL_RAMP = [(0.45, 109), (-0.3, 43), (-99, 34)]
NIB_EDGE_RAMP = [(0.96, 255), (0.6, 229), (0.3, 194), (-0.3, 109), (-99, 15)]


def shade(nx, ny, nz):
    """Lambert term for a surface normal, -1..1."""
    ln = math.sqrt(nx * nx + ny * ny + nz * nz)
    return (nx * LIGHT[0] + ny * LIGHT[1] + nz * LIGHT[2]) / ln


def plate_sdf(x, y):
    qx = abs(x - CX) - (HALF - CORNER)
    qy = abs(y - CY) - (HALF - CORNER)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - CORNER


def ring_sdf(x, y):
    d = math.hypot(x - QX, y - QY)
    return abs(d - Q_MID) - Q_HALF


def polygon_sdf(points, x, y):
    """Signed distance to a simple polygon, negative inside."""
    best = float("inf")
    inside = False
    n = len(points)
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ex, ey = bx - ax, by - ay
        wx, wy = x - ax, y - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        best = min(best, math.hypot(wx - ex * t, wy - ey * t))
        if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
            inside = not inside
    return -best if inside else best


def nib_outline():
    """The nib as a polygon: a rounded back, shoulders, and straight flanks to the tip."""
    ax, ay = NIB_ROOT
    bx, by = NIB_TIP
    length = math.hypot(bx - ax, by - ay)
    ux, uy = (bx - ax) / length, (by - ay) / length
    local = []
    for k in range(9):                     # rounded back end
        a = math.pi / 2 + math.pi * k / 8
        local.append((NIB_HALF_ROOT * 0.6 * math.cos(a), NIB_HALF_ROOT * math.sin(a)))
    local.append((NIB_SHOULDER * length, -NIB_HALF_SHOULDER))
    local.append((length, 0.0))
    local.append((NIB_SHOULDER * length, NIB_HALF_SHOULDER))
    return [(ax + s * ux - t * uy, ay + s * uy + t * ux) for s, t in local]


def nib_sdf(x, y):
    return polygon_sdf(NIB, x, y)


NIB = nib_outline()


def letter_sdf(x, y):
    return min(ring_sdf(x, y), nib_sdf(x, y))


def grad(f, x, y, e=0.25):
    gx = (f(x + e, y) - f(x - e, y)) / (2 * e)
    gy = (f(x, y + e) - f(x, y - e)) / (2 * e)
    return gx, gy


def ramp(value, steps):
    """Pick from (threshold, grey) pairs: the grey of the first threshold that value exceeds."""
    for threshold, grey in steps:
        if value > threshold:
            return grey
    return steps[-1][1]


def nib_frame(x, y):
    """Position along the nib (0 at the root, 1 at the tip) and across it (pixels, + = lower left)."""
    ax, ay = NIB_ROOT
    bx, by = NIB_TIP
    vx, vy = bx - ax, by - ay
    length = math.hypot(vx, vy)
    px, py = x - ax, y - ay
    return (px * vx + py * vy) / (length * length), (-px * vy + py * vx) / length


def nib_pixel(x, y, d):
    """The quill's metal nib: a rounded blade, lit on its upper right half, with a slit."""
    along, across = nib_frame(x, y)
    if along > 0.45 and abs(across) < 0.55:
        return 15                                   # the slit
    if 0.38 < along < 0.47 and abs(across) < 1.2:
        return 0                                    # the hole the slit ends in
    if d > -1.0:
        gx, gy = grad(nib_sdf, x, y)
        lam = shade(gx, gy, 0.7)
        return ramp(lam, NIB_EDGE_RAMP)
    return 194 if across < 0.0 else 153


def pixel(ix, iy):
    x, y = ix + 0.5, iy + 0.5
    if iy == 0 or iy == SIZE - 1:
        return BG

    p = plate_sdf(x, y)
    d = letter_sdf(x, y)
    if p > 0.0 and d > 0.0:
        # Background with the shadow of the plate and of the nib's tip on it.
        depth = 1.0 - min(plate_sdf(x - SHADOW_DX, y - SHADOW_DY),
                          letter_sdf(x - SHADOW_DX, y - SHADOW_DY))
        return ramp(depth, SHADOW_RAMP)

    dn = nib_sdf(x, y)
    if dn <= 0.0:
        return nib_pixel(x, y, dn)
    dr = ring_sdf(x, y)
    if dr <= 0.0:
        # The ring of the Q: bevelled edge around a dark face.
        if dr > -BEVEL:
            gx, gy = grad(ring_sdf, x, y)
            lam = shade(gx, gy, 0.9)
            return ramp(lam, RING_BEVEL_RAMP)
        # A glossy face: a thin reflection of the light along the top left of the stroke.
        dist = math.hypot(x - QX, y - QY)
        angle = math.degrees(math.atan2(y - QY, x - QX)) % 360.0
        if abs(dist - GLOSS_R) < 0.6 and GLOSS_FROM < angle < GLOSS_TO:
            mid = (GLOSS_FROM + GLOSS_TO) / 2
            return 153 if abs(angle - mid) < (GLOSS_TO - GLOSS_FROM) * 0.3 else 66
        return 24

    # The letter's shadow falls on everything below and right of it.
    in_shadow = letter_sdf(x - LETTER_SHADOW, y - LETTER_SHADOW) <= 0.0
    gx, gy = grad(plate_sdf, x, y)
    if p > -SLOPE:
        # Outer bevel of the frame: faces outwards and up.
        if in_shadow:
            return 15
        lam = shade(gx, gy, 1.0)
        return ramp(lam, FRAME_BEVEL_RAMP)
    if p > -FRAME:
        # Flat top of the frame: lit on the top and left sides.
        if in_shadow:
            return 34
        lam = shade(gx, gy, 4.0)
        return ramp(lam, FRAME_TOP_RAMP)
    if p > -WALL:
        # Inner wall of the frame: faces inwards and up.
        lam = shade(-gx, -gy, 1.0)
        return ramp(lam, FRAME_WALL_RAMP)

    # Recessed field, partly shaded by the frame's top and left walls.
    if in_shadow:
        return 15
    if plate_sdf(x - WALL_SHADOW, y - WALL_SHADOW) > -WALL:
        return 34
    return 50


def draw():
    return [[pixel(ix, iy) for ix in range(SIZE)] for iy in range(SIZE)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "logo.png")
    rows = draw()
    img = Image.new("L", (SIZE, SIZE))
    img.putdata([g for row in rows for g in row])
    img.save(out)
    counts = {g: 0 for g in PALETTE}
    for row in rows:
        for g in row:
            counts[g] += 1
    print("grey  count")
    for i, g in enumerate(PALETTE):
        print(f"{i:2d} {g:3d} {counts[g]:5d}")
    order_ok = all(counts[PALETTE[i]] >= counts[PALETTE[i + 1]] for i in range(15))
    print("frequency order", "ok" if order_ok else "VIOLATED")


if __name__ == "__main__":
    main()
