#!/usr/bin/python3
"""One-off helper: rasterise a bold sans-serif TrueType font into the fixed glyph
boxes of the show's two bitmap fonts and write the .glyphs text sources.

The sources are then the originals: they were touched up by hand afterwards
("!" and "1" redrawn, "O" as an elliptical ring, "0" slashed so it differs
from "O", "Q" with a drawn tail, the title "K" arms moved out to the box edge),
so do not rerun this over the edited sources unless starting again. Needs python3-pil, fonts-dejavu-core and
fonts-freefont-ttf.

    rasterise.py scroller > scroller.glyphs
    rasterise.py title > title.glyphs
"""

import sys

from PIL import Image, ImageDraw, ImageFont

# Glyph boxes, rows x columns, per font; fixed by the show's timing.
BOXES = {
    "scroller": {
        " ": (1, 1), "!": (27, 10), ")": (30, 11), "0": (24, 23), "1": (27, 8),
        "2": (25, 17), "3": (26, 17), "4": (26, 20), "5": (26, 21), "6": (26, 18),
        "7": (26, 16), "8": (26, 21), "9": (27, 22), "=": (17, 12), "A": (26, 19),
        "B": (26, 22), "C": (25, 17), "D": (26, 23), "E": (26, 17), "F": (26, 16),
        "G": (26, 19), "H": (26, 20), "I": (25, 7), "J": (25, 19), "K": (25, 21),
        "L": (25, 19), "M": (25, 31), "N": (26, 20), "O": (25, 23), "P": (27, 22),
        "Q": (27, 25), "R": (27, 22), "S": (26, 21), "T": (27, 18), "U": (25, 19),
        "V": (25, 20), "W": (26, 30), "X": (24, 21), "Y": (25, 21), "Z": (25, 17),
    },
    "title": {
        " ": (1, 1), "!": (29, 9), ")": (32, 14), "0": (29, 19), "1": (28, 15),
        "2": (29, 19), "3": (29, 20), "4": (28, 24), "5": (29, 20), "6": (29, 20),
        "7": (28, 20), "8": (29, 20), "9": (28, 20), "=": (14, 15), "A": (28, 30),
        "B": (28, 24), "C": (29, 23), "D": (28, 23), "E": (28, 23), "F": (28, 23),
        "G": (28, 26), "H": (28, 27), "I": (28, 15), "J": (29, 22), "K": (28, 28),
        "L": (28, 23), "M": (28, 37), "N": (28, 26), "O": (28, 22), "P": (28, 22),
        "Q": (33, 21), "R": (28, 25), "S": (29, 20), "T": (28, 24), "U": (28, 27),
        "V": (28, 28), "W": (28, 40), "X": (28, 28), "Y": (28, 27), "Z": (28, 19),
    },
}

# Height of capitals and digits: glyphs are drawn top-aligned, so every letter's
# baseline sits this many rows below the pen; taller boxes keep their extra rows
# for a tail (Q, parenthesis) or a round bottom's overshoot.
CAP_HEIGHT = {"scroller": 25, "title": 28}
ROUND_BOTTOM = set("0235689CGJOSU")

SOURCE_FONTS = {
    "sans": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "condensed": "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "mono": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "free": "/usr/share/fonts/truetype/freefont/FreeSansBold.ttf",
}
RENDER_SIZE = 600  # pixels per em for the high-resolution master


def master(ch, face):
    """The character drawn large: (image, ink box, baseline row)."""
    font = ImageFont.truetype(SOURCE_FONTS[face], RENDER_SIZE)
    img = Image.new("L", (RENDER_SIZE * 2, RENDER_SIZE * 2), 0)
    draw = ImageDraw.Draw(img)
    origin = (RENDER_SIZE // 2, RENDER_SIZE * 3 // 2)
    draw.text(origin, ch, font=font, fill=255, anchor="ls")
    return img, img.getbbox(), origin[1]


def fit(img, box, size, threshold):
    """Scale the part of img inside box to size and return rows of booleans."""
    cols, rows = size
    if cols <= 0 or rows <= 0:
        return []
    part = img.crop(box).resize((cols, rows), Image.Resampling.BOX)
    data = part.tobytes()
    return [[data[r * cols + c] >= threshold for c in range(cols)] for r in range(rows)]


def rasterise(ch, rows, cols, cap, face, threshold):
    if ch == " ":
        return [[False]]
    img, (left, top, right, bottom), baseline = master(ch, face)
    if ch in ")=":
        return fit(img, (left, top, right, bottom), (cols, rows), threshold)
    if ch == "Q":
        # Body to the cap height, the tail below it at the same scale.
        tail_rows = min(rows - cap, round(cap * (bottom - baseline) / (baseline - top)))
        ink = fit(img, (left, top, right, bottom), (cols, cap + tail_rows), threshold)
        return ink + [[False] * cols for _ in range(rows - cap - tail_rows)]
    ink_rows = min(rows, cap)
    if ch in ROUND_BOTTOM and rows == cap + 1:
        ink_rows = rows
    ink = fit(img, (left, top, right, min(bottom, baseline + 1)), (cols, ink_rows), threshold)
    return ink + [[False] * cols for _ in range(rows - ink_rows)]


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in BOXES:
        sys.exit("usage: rasterise.py scroller|title")
    name = sys.argv[1]
    faces = {"I": "mono", "1": "mono", "J": "free", "Q": "free"} if name == "title" else {"J": "free", "Q": "free"}
    print(f"; The {name} font. '#' is ink, '.' is empty; the box sizes are fixed.")
    print(f"; Glyphs are drawn top-aligned: capitals and digits fill rows 0 to {CAP_HEIGHT[name] - 1},")
    print("; rows below that hold tails and round overshoots. Lower-case letters use the capitals.")
    print("; Build with: make_font " + name + ".glyphs ../../assets/" + name + ".font (or the fonts target).")
    print(f"font {name}")
    for ch, (rows, cols) in BOXES[name].items():
        face = faces.get(ch, "sans")
        pixels = rasterise(ch, rows, cols, CAP_HEIGHT[name], face, 110)
        print()
        print(f"glyph {'space' if ch == ' ' else ch} {rows}x{cols}")
        for row in pixels:
            print("".join("#" if p else "." for p in row))


if __name__ == "__main__":
    main()
