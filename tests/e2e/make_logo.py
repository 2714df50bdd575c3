#!/usr/bin/env python3
"""Writes the logo of the end-to-end test's "PeImage.res": 480 x 400 pixels, 24 bits, teal with
orange diagonal bands, so that a window showing it is easy to tell from one showing the shipped
logo. Keep the colours in step with LogoTest.cpp."""
import struct
import sys

WIDTH, HEIGHT = 480, 400
TEAL = (0, 128, 128)
ORANGE = (255, 140, 0)


def colour(x, y):
    return ORANGE if ((x + y) // 40) % 2 else TEAL


def main():
    stride = (WIDTH * 3 + 3) & ~3
    rows = []
    for y in range(HEIGHT - 1, -1, -1):
        row = b"".join(struct.pack("<BBB", b, g, r) for (r, g, b) in (colour(x, y) for x in range(WIDTH)))
        rows.append(row.ljust(stride, b"\0"))
    pixels = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(sys.argv[1], "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main()
