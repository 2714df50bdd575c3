#!/usr/bin/env python3
"""Draws the updater's own pictures: the button glyph "ButtonPelano" (32 x 32, 8 bits per pixel,
256-entry colour table) and the start-screen logo "LOGO" (400 x 360, 24 bits per pixel).

The glyph is drawn here pixel by pixel; the logo is drawn with ImageMagick (for the Japanese title
text) and written as a plain bottom-up BMP by this script, so the output does not depend on which
BMP variant ImageMagick prefers."""
import argparse
import math
import struct
import subprocess


def bmp(width, height, bits, rows_bottom_up, palette=None):
    stride = (width * bits // 8 + 3) & ~3
    pixels = b"".join(row.ljust(stride, b"\0") for row in rows_bottom_up)
    colours = palette or []
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835,
                       len(colours), 0)
    return header + info + table + pixels


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
    rows.reverse()
    return bmp(32, 32, 8, rows, palette)


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
    rows.reverse()
    return bmp(width, height, 24, rows)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--glyph", required=True)
    parser.add_argument("--logo", required=True)
    parser.add_argument("--font", default="/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf")
    args = parser.parse_args()
    with open(args.glyph, "wb") as f:
        f.write(glyph())
    with open(args.logo, "wb") as f:
        f.write(logo(args.font))


if __name__ == "__main__":
    main()
