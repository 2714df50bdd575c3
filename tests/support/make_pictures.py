#!/usr/bin/env python3
"""Writes the pictures of the image pack and loader tests: a 400 x 360 24-bit bitmap whose pixel
(x, y) has the colour PackColour(x, y) of PictureData.h, a 60 x 40 8-bit bitmap with a colour table
of its own, and a 32 x 32 icon file whose top half is red and bottom half blue."""
import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools"))
from formats import bmp_of  # noqa: E402


def pack_colour(x, y):
    # Keep in step with PackColour() in PictureData.h.
    return (x % 256, y % 256, (x // 256) * 100 + (y // 256) * 50 + 7)


def pack_bitmap():
    return bmp_of(400, 360, 24, pack_colour)


def indexed_bitmap():
    palette = [(i, 255 - i, (i * 7) % 256) for i in range(256)]
    return bmp_of(60, 40, 8, lambda x, y: (x + 3 * y) % 256, palette)


def icon_file():
    size = 32
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows_bottom_up = []
    for y in range(size - 1, -1, -1):
        colour = struct.pack("<BBBB", 0, 0, 255, 255) if y < size // 2 else struct.pack("<BBBB", 255, 0, 0, 255)
        rows_bottom_up.append(colour * size)
    mask = b"\0" * (4 * size)  # one 32-pixel row is 4 bytes; all opaque
    image = header + b"".join(rows_bottom_up) + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    pack, indexed, icon = sys.argv[1:4]
    with open(pack, "wb") as f:
        f.write(pack_bitmap())
    with open(indexed, "wb") as f:
        f.write(indexed_bitmap())
    with open(icon, "wb") as f:
        f.write(icon_file())


if __name__ == "__main__":
    main()
