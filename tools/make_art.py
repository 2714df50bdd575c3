#!/usr/bin/env python3
"""Draws the updater's own pictures: the button glyph "ButtonPelano" (32 x 32, 8 bits per pixel,
256-entry colour table), the start-screen logo "LOGO" (400 x 360, 24 bits per pixel) and the
16 x 16 glyphs of the folder and drive lists.

The glyph is drawn here pixel by pixel; the logo is drawn with ImageMagick (for the Japanese title
text) and written as a plain bottom-up BMP by this script, so the output does not depend on which
BMP variant ImageMagick prefers."""
import argparse
import math
import subprocess

from formats import bmp


def general_palette():
    """A 6 x 6 x 6 colour cube and a 40-step grey ramp: 256 colours that suit any picture."""
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(round(i * 255 / 41),) * 3 for i in range(1, 41)]
    return cube + greys


def nearest(palette, colour):
    return min(range(len(palette)), key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], colour)))


def glyph():
    palette = general_palette()
    background = (255, 0, 255)  # the bottom-left pixel: drawn transparent on the buttons
    face, cheek, ink, shine = (255, 204, 153), (255, 153, 153), (51, 51, 102), (255, 255, 255)
    hair = (204, 102, 51)
    rows = []
    for y in range(32):
        row = []
        for x in range(32):
            dx, dy = x - 15.5, y - 16.5
            d = math.hypot(dx, dy)
            colour = background
            if d < 14.5:
                colour = face
                if y < 11 and d > 6:
                    colour = hair
                if math.hypot(x - 10, y - 20) < 2.3 or math.hypot(x - 21, y - 20) < 2.3:
                    colour = cheek
                if abs(x - 11) <= 1 and 13 <= y <= 16 or abs(x - 20) <= 1 and 13 <= y <= 16:
                    colour = ink
                if (x, y) in ((11, 13), (20, 13)):
                    colour = shine
                if 23 <= y <= 24 and 13 <= x <= 18 and abs((x - 15.5) / 3) ** 2 + (y - 22) / 3 > 0.5:
                    colour = ink
            elif d < 15.5:
                colour = ink
            row.append(nearest(palette, colour))
        rows.append(bytes(row))
    return bmp(32, 32, 8, rows, palette)


# The glyphs of the folder and drive lists, 16 x 16, 8 bits per pixel. The bottom-left pixel is the
# background that the lists draw transparent; no glyph uses that colour anywhere else.
SMALL_COLOURS = {
    ".": (255, 0, 255), "k": (0, 0, 0), "d": (102, 102, 102), "s": (204, 204, 204),
    "w": (255, 255, 255), "y": (255, 204, 51), "Y": (255, 255, 153), "o": (153, 102, 0),
    "n": (0, 51, 153), "b": (102, 153, 255), "g": (51, 204, 51), "G": (0, 102, 51),
    "r": (255, 51, 51), "c": (153, 255, 255),
}

# The lower half of an open folder, which the current folder shows too.
OPEN_FOLDER_FRONT = [
    "kYyyykkkkkkkkkkk",
    "kYyykYYYYYYYYYYk",
    "kYykYyyyyyyyyyk.",
    "kYkYyyyyyyyyyyk.",
    "kkYyyyyyyyyyyk..",
    "kYyyyyyyyyyyok..",
    "kkkkkkkkkkkkk...",
    "................",
    "................",
    "................",
]

# A hard disk, which the network drive shows above its cable.
DRIVE_BOX = [
    "..kkkkkkkkkkkkk.",
    ".kwwwwwwwwwwwdk.",
    "kwwwwwwwwwwwdsk.",
    "kkkkkkkkkkkkksk.",
    "kssssssssssskdk.",
    "kssssssssggskdk.",
    "kssssssssssskk..",
    "kddddddddddddk..",
    ".kkkkkkkkkkkkk..",
]

SMALL_GLYPHS = {
    "CLOSEDFOLDER": [
        "................",
        "................",
        ".kkkkk..........",
        "kYYYYYk.........",
        "kYyyyyYkkkkkkkk.",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kYyyyyyyyyyyyyok",
        "kooooooooooooook",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    "OPENFOLDER": [
        "................",
        "................",
        ".kkkkk..........",
        "kYYYYYk.........",
        "kYyyyyYkkkkkkk..",
        "kYyyyyyyyyyyyk..",
    ] + OPEN_FOLDER_FRONT,
    "CURRENTFOLDER": [
        "................",
        "......kkkkkk....",
        ".kkkkkkwwwwkk...",
        "kYYYYkwwwwwwk...",
        "kYyyykwkkkkwk...",
        "kYyyykwwwwwwkk..",
    ] + OPEN_FOLDER_FRONT,
    "FLOPPY": [
        "................",
        ".kkkkkkkkkkkkk..",
        ".knnsssssssnnnk.",
        ".knnsskksssnnnk.",
        ".knnsskksssnnnk.",
        ".knnsssssssnnnk.",
        ".knnnnnnnnnnnnk.",
        ".knwwwwwwwwwwnk.",
        ".knwrrrrrrrrwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwddddddddwnk.",
        ".knwwwwwwwwwwnk.",
        ".knwddddddddwnk.",
        ".kkkkkkkkkkkkkk.",
        "................",
        "................",
    ],
    "HARD": ["................"] * 4 + DRIVE_BOX + ["................"] * 3,
    "NETWORK": ["................"] + DRIVE_BOX + [
        "......kbbk......",
        "......kbbk......",
        "kkkkkkkbbkkkkkkk",
        "bbbbbbbbbbbbbbbb",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    "RAM": [
        "................",
        "................",
        "................",
        "................",
        "GGGGGGGGGGGGGGGG",
        "GkkkGkkkGkkkGkkG",
        "GkdkGkdkGkdkGkdG",
        "GkkkGkkkGkkkGkkG",
        "GkkkGkkkGkkkGkkG",
        "GGGGGGGGGGGGGGGG",
        "GyGyGyGyGyGyGyGG",
        "GyGyGyGyGyGyGyGG",
        "................",
        "................",
        "................",
        "................",
    ],
}


def cdrom_rows():
    rows = []
    for y in range(16):
        row = ""
        for x in range(16):
            d = math.hypot(x - 7.5, y - 7.5)
            angle = math.atan2(y - 7.5, x - 7.5)
            if d > 7.6:
                row += "."
            elif d > 6.6:
                row += "k"
            elif d > 2.6:
                # A light sheen across the disc.
                row += "c" if abs(math.sin(angle - 0.8)) < 0.25 else ("w" if abs(math.sin(angle - 0.8)) < 0.5 else "s")
            elif d > 1.6:
                row += "d"
            else:
                row += "w"
        rows.append(row)
    return rows


SMALL_GLYPHS["CDROM"] = cdrom_rows()


def small_glyph(name):
    palette = general_palette()
    rows = SMALL_GLYPHS[name]
    if len(rows) != 16 or any(len(row) != 16 for row in rows):
        raise SystemExit(f"make_art: glyph {name} is not 16 x 16")
    if rows[15][0] != ".":
        raise SystemExit(f"make_art: glyph {name} must have the background at its bottom-left pixel")
    index = {key: nearest(palette, colour) for key, colour in SMALL_COLOURS.items()}
    if list(index.values()).count(index["."]) != 1:
        raise SystemExit("make_art: a glyph colour falls on the background colour")
    return bmp(16, 16, 8, [bytes(index[c] for c in row) for row in rows], palette)


def logo(title_font):
    width, height = 400, 360
    draw = [
        "/usr/bin/convert", "-size", f"{width}x{height}", "gradient:#bfe6ff-#fff6e0",
        "-fill", "#ffd9ec", "-draw", "circle 330,70 390,70",
        "-fill", "#d8f5d0", "-draw", "circle 60,250 120,250",
        "-fill", "#fff0a8", "-draw", "circle 70,60 100,60",
        "-fill", "#ffffffc0", "-draw", "roundrectangle 30,96 370,226 18,18",
        "-fill", "#ff7fae", "-draw", "roundrectangle 30,96 370,104 4,4",
        "-font", title_font, "-fill", "#334466",
        "-pointsize", "54", "-annotate", "+78+170", "ぺらの5",
        "-pointsize", "20", "-annotate", "+140+208", "アップデーター",
        "-fill", "#5577aa", "-pointsize", "13", "-annotate", "+112+256",
        "ボタンを押してアップデートを始めます",
        "-fill", "#ffffff70", "-draw", "roundrectangle 40,268 362,332 14,14",
        "-depth", "8", "rgb:-",
    ]
    raw = subprocess.run(draw, check=True, capture_output=True).stdout
    if len(raw) != width * height * 3:
        raise SystemExit("make_art: unexpected output from ImageMagick")
    rows = []
    for y in range(height):
        line = raw[y * width * 3:(y + 1) * width * 3]
        rows.append(b"".join(line[i + 2:i + 3] + line[i + 1:i + 2] + line[i:i + 1]
                             for i in range(0, len(line), 3)))
    return bmp(width, height, 24, rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--glyph", required=True)
    parser.add_argument("--logo", required=True)
    parser.add_argument("--font", default="/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf")
    parser.add_argument("--small-glyphs", metavar="FOLDER",
                        help="also write the folder and drive glyphs as FOLDER/<name>.bmp")
    args = parser.parse_args()
    with open(args.glyph, "wb") as f:
        f.write(glyph())
    with open(args.logo, "wb") as f:
        f.write(logo(args.font))
    if args.small_glyphs:
        for name in SMALL_GLYPHS:
            with open(f"{args.small_glyphs}/{name}.bmp", "wb") as f:
                f.write(small_glyph(name))


if __name__ == "__main__":
    main()
